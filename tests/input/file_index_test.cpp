#include "input/file_index.h"

#include <gtest/gtest.h>

#include "mkrec/stream_writer.h"
#include "scratch_dir.h"

namespace vesk::input {
namespace {

// The filter keeps its reader following the status channel its configuration names.
class StatusFollower final : public ConfigurationListener {
 public:
  explicit StatusFollower(PacketReader& reader) : reader_(reader) {}
  void SetVideoChannelDescription(const ChannelRecord&) override {}
  void SetAudioChannelDescription(const ChannelRecord&) override {}
  void SetStatusChannel(int channel) override { reader_.SetStatusChannel(channel); }
  void ConfigurationParsed() override {}

 private:
  PacketReader& reader_;
};

class FileIndexTest : public ::testing::Test {
 protected:
  FileIndexTest() {
    mkrec::ConfigurationBuilder record("DVR");
    record.Channel(0, kChannelVideo, "xvid", "cam0", "")
        .Channel(1, kChannelVideo, "xvid", "cam1", "")
        .Channel(129, kChannelText, "", "line1", "")
        .Channel(255, kChannelText, "", "general", "")
        .Channel(16, kChannelStatus, "", "status", "");
    writer_.ChannelDescription(record.bytes());
  }

  void Second(std::uint32_t time, std::uint8_t textChannel, std::vector<std::uint8_t> activity) {
    offsets_.push_back(writer_.Position());
    writer_.IndexPosition(time);
    if (textChannel) writer_.DataPacket(textChannel, std::vector<std::uint8_t>{'h', 'i', 0});
    if (!activity.empty()) writer_.DataPacket(16, mkrec::StatusPayload(activity));
    writer_.DataPacket(0, std::vector<std::uint8_t>(3000, 1));
  }

  HRESULT Scan() {
    EXPECT_EQ(source_.Open(dir_.Write("index.vsk", sink_.bytes())), S_OK);
    return index_.Scan(source_, reader_, configuration_);
  }

  mkrec::testing::ScratchDir dir_;
  mkrec::VectorSink sink_;
  mkrec::StreamWriter writer_{sink_};
  std::vector<std::uint64_t> offsets_;
  FileSource source_;
  PacketReader reader_;
  StatusFollower follower_{reader_};
  StreamConfiguration configuration_{&follower_};
  FileIndex index_;
};

TEST_F(FileIndexTest, ScanRecordsEntriesActivityAndClasses) {
  writer_.DataPacket(16, mkrec::StatusPayload({9}));  // before any index position: dropped
  Second(1000, 0, {});
  Second(1010, 129, {5, 6});
  Second(1020, 255, {7});
  ASSERT_EQ(Scan(), S_OK);
  EXPECT_EQ(source_.Position(), 0u);

  ASSERT_EQ(index_.size(), 3u);
  EXPECT_EQ(index_.StartTime(), 1000u);
  EXPECT_EQ(index_.EndTime(), 1020u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(index_[i].byteOffset, offsets_[i]);
    EXPECT_EQ(index_[i].number, i);
  }
  EXPECT_TRUE(index_[0].activity.empty());

  // A 12-byte status payload holds four entries: channel numbers and activities.
  const auto& second = index_[1].activity;
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0].channel, 0);
  EXPECT_EQ(second[0].activity, 5);
  EXPECT_EQ(second[1].channel, 1);
  EXPECT_EQ(second[1].activity, 6);
  EXPECT_EQ(second[1].sequence, 1u);
  EXPECT_EQ(second[0].activityClass, kActivityPlain);
  EXPECT_EQ(second[1].activityClass, kActivityCameraLine);  // line of camera 1 came first
  EXPECT_EQ(index_[2].activity[0].activityClass, kActivityGeneralLine);

  // An index entry takes the counter and raises it; an activity entry raises it first.
  EXPECT_EQ(index_[0].counter, 0u);
  EXPECT_EQ(index_[1].counter, 1u);
  EXPECT_EQ(second[0].counter, 3u);
  EXPECT_EQ(second[1].counter, 4u);
  EXPECT_EQ(index_[2].counter, 4u);  // shared with the activity entry before it
}

TEST_F(FileIndexTest, PositionsSnapToTheEntryAtOrBefore) {
  Second(1000, 0, {});
  Second(1010, 0, {});
  Second(1020, 0, {});
  ASSERT_EQ(Scan(), S_OK);
  EXPECT_EQ(index_.EntryAtOrBefore(1015), 1u);
  EXPECT_EQ(index_.EntryAtOrBefore(1010), 1u);
  EXPECT_EQ(index_.EntryAtOrBefore(999), 0u);
  EXPECT_EQ(index_.EntryAtOrBefore(1025), 2u);
  EXPECT_EQ(index_.EntryBeforePosition(offsets_[2] - 1), 1u);
  EXPECT_EQ(index_.EntryBeforePosition(offsets_[2] + 1), 2u);
  EXPECT_EQ(index_.EntryBeforePosition(0), 0u);
}

TEST_F(FileIndexTest, ActivityWalkVisitsEveryEntryAfterTheFirst) {
  Second(1000, 0, {1});  // never returned: the walk starts at the second entry
  Second(1001, 0, {2, 3});
  Second(1002, 0, {});
  Second(1003, 0, {4});
  ASSERT_EQ(Scan(), S_OK);

  // An entry without the asked activity passes the walk on, as a seek does.
  std::uint64_t it1 = 1, it2 = 2;  // entry 1 has two activities only
  ActivityFound passed = index_.FindActivity(it1, it2);
  EXPECT_EQ(passed.stop, 1);
  EXPECT_FALSE(passed.activityFound);  // the quiet entry 2 answers
  EXPECT_EQ(it1, 3u);

  it1 = 1;
  it2 = 0;
  std::vector<std::pair<int, int>> walk;  // (activity, channel), -1 for a quiet second
  for (int step = 0; step < 10; ++step) {
    ActivityFound found = index_.FindActivity(it1, it2);
    if (!found.stop) break;
    walk.emplace_back(found.activityFound ? found.activity : -1,
                      found.activityFound ? found.channel : -1);
  }
  const std::vector<std::pair<int, int>> expected = {{2, 0}, {3, 1}, {-1, -1}, {4, 0}};
  EXPECT_EQ(walk, expected);
  EXPECT_EQ(it1, 4u);

  it1 = 2;
  it2 = 1;  // the second activity of entry 1
  EXPECT_EQ(index_.SeekIndexEntry(it1, it2), index_[1].byteOffset);
  EXPECT_EQ(it1, 2u);
  EXPECT_EQ(it2, 0u);
  it1 = 2;
  it2 = 5;  // entry 1 lacks it: the walk passes on to the quiet entry 2
  EXPECT_EQ(index_.SeekIndexEntry(it1, it2), index_[2].byteOffset);
  it1 = 40;
  EXPECT_EQ(index_.SeekIndexEntry(it1, it2), std::nullopt);
}

TEST_F(FileIndexTest, RefusesFilesThatAreNotRecordings) {
  sink_.bytes().clear();
  writer_.IndexPosition(5);
  EXPECT_EQ(Scan(), E_FAIL);

  sink_.bytes().clear();
  writer_.ChannelDescription(std::vector<std::uint8_t>{'D', 0, 1, kChannelVideo});
  EXPECT_EQ(Scan(), E_FAIL);

  sink_.bytes().clear();
  writer_.ChannelDescription(mkrec::ConfigurationBuilder("DVR").bytes());
  ASSERT_EQ(Scan(), S_OK);
  EXPECT_TRUE(index_.empty());
  EXPECT_EQ(index_.EndTime(), 0u);
}

}  // namespace
}  // namespace vesk::input
