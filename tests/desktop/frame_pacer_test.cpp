#include "apps/desktop/frame_pacer.h"

#include <gtest/gtest.h>

namespace vesk::desktop {
namespace {

using namespace std::chrono_literals;
using Clock = FramePacer::Clock;

TEST(FramePacerTest, SpreadsEachSecondsPicturesOverItAndStartsAfreshAfterAJump) {
  FramePacer pacer(2.0);
  const Clock::time_point start = Clock::now();
  // The first second is seen in part: the nominal rate spaces it.
  EXPECT_EQ(pacer.Due(10, start), start);
  EXPECT_EQ(pacer.Due(10, start), start + 500ms);
  // Second 11 holds four pictures; second 12 is spread by that count.
  for (int picture = 0; picture < 4; ++picture) EXPECT_EQ(pacer.Due(11, start), start + 1s + picture * 500ms);
  EXPECT_EQ(pacer.Due(12, start), start + 2s);
  EXPECT_EQ(pacer.Due(12, start), start + 2s + 250ms);

  // A seek back, a jump ahead, or a picture more than a second late: shown at once.
  EXPECT_EQ(pacer.Due(3, start + 5s), start + 5s);
  EXPECT_EQ(pacer.Due(9, start + 6s), start + 6s);
  EXPECT_EQ(pacer.Due(10, start + 9s), start + 9s);
}

}  // namespace
}  // namespace vesk::desktop
