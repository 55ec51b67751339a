#include "audio/audio_channel_format.h"

#include <gtest/gtest.h>

namespace vesk::audio {
namespace {

TEST(AudioChannelFormatTest, ReadsTheOptionWords) {
  AudioChannelFormat f = AudioChannelFormat::FromOptions("stereo rate=44100 bits=16");
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.rate, 44100u);
  EXPECT_EQ(f.bits, 16);
  EXPECT_EQ(f.BlockAlign(), 4);
  EXPECT_EQ(f.AverageBytesPerSecond(), 176400u);
  EXPECT_EQ(f.bufferSize, 352800u);
  EXPECT_FALSE(f.noSound);

  AudioChannelFormat none = AudioChannelFormat::FromOptions("");
  EXPECT_EQ(none.channels, 1);
  EXPECT_EQ(none.rate, 8000u);
  EXPECT_EQ(none.bits, 8);
  EXPECT_EQ(none.bufferSize, 16000u);  // not the construction default of 128000
  EXPECT_TRUE(AudioChannelFormat::FromOptions("x -nosnd").noSound);
}

TEST(AudioChannelFormatTest, OddNumbersNeverReadPastTheText) {
  EXPECT_EQ(AudioChannelFormat::FromOptions("rate:   22050").rate, 22050u);
  EXPECT_EQ(AudioChannelFormat::FromOptions("rate=x16000").rate, 0u);
  EXPECT_EQ(AudioChannelFormat::FromOptions("bits").bits, 0);  // the word ends the text
  EXPECT_EQ(AudioChannelFormat::FromOptions("rate=").rate, 0u);
  const AudioChannelFormat huge = AudioChannelFormat::FromOptions("rate=999999999999 bits=64 stereo");
  EXPECT_EQ(huge.bufferSize, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace vesk::audio
