#include <gtest/gtest.h>

#include "mkrec/stream_writer.h"

namespace vesk::mkrec {
namespace {

TEST(Koi8FromUtf8Test, MapsCyrillicAndMarksWhatKoi8Lacks) {
  EXPECT_EQ(Koi8FromUtf8("Демо VESK"), "\xE4\xC5\xCD\xCF VESK");
  EXPECT_EQ(Koi8FromUtf8("Ёж ёлка"), "\xB3\xD6 \xA3\xCC\xCB\xC1");
  // Characters outside KOI8-R and broken UTF-8 each become a single '?'.
  EXPECT_EQ(Koi8FromUtf8("№5 €"), "?5 ?");
  EXPECT_EQ(Koi8FromUtf8("a\xD0z"), "a?z");
  EXPECT_EQ(Koi8FromUtf8(""), "");
}

}  // namespace
}  // namespace vesk::mkrec
