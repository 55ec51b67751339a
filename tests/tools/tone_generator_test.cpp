#include "mkrec/tone_generator.h"

#include <gtest/gtest.h>

#include "platform/little_endian.h"

namespace vesk::mkrec {
namespace {

TEST(ToneGeneratorTest, ToneHasItsFrequencyContinuesAcrossCallsAndFitsEachFormat) {
  const AudioFormat format{8000, 16, 1};
  const std::vector<std::uint8_t> second = ToneGenerator(440.0, format).Next(8000);
  ToneGenerator pieces(440.0, format);
  std::vector<std::uint8_t> joined = pieces.Next(3000);
  const std::vector<std::uint8_t> rest = pieces.Next(5000);
  joined.insert(joined.end(), rest.begin(), rest.end());
  EXPECT_EQ(joined, second);
  int crossings = 0;
  for (std::size_t i = 2; i < second.size(); i += 2) {
    const auto a = static_cast<std::int16_t>(platform::LoadLe16(&second[i - 2]));
    const auto b = static_cast<std::int16_t>(platform::LoadLe16(&second[i]));
    crossings += (a < 0) != (b < 0);
  }
  EXPECT_NEAR(crossings, 880, 2);

  // 8-bit samples are unsigned around 128; stereo repeats each sample.
  const std::vector<std::uint8_t> bytes = ToneGenerator(1000.0, {16000, 8, 2}).Next(16);
  ASSERT_EQ(bytes.size(), 32u);
  EXPECT_EQ(bytes[0], 128);
  EXPECT_GT(bytes[8], 150);   // a quarter period in: the crest
  EXPECT_LT(bytes[24], 106);  // three quarters: the trough
  for (std::size_t i = 0; i < bytes.size(); i += 2) EXPECT_EQ(bytes[i], bytes[i + 1]);
}

}  // namespace
}  // namespace vesk::mkrec
