// The video pin on its own, connected to a sink that keeps each delivered
// picture: layouts, camera messages, text packets, time-outs, snapshots and
// recordings, against xvidcore's decode of the same frames.
#include "video/video_pin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <mutex>

#include "host/counting_sink.h"
#include "riff_file.h"
#include "scratch_dir.h"
#include "video/picture_adjustments.h"
#include "vesk/notify_target.h"
#include "vesk/splitter_settings.h"
#include "xvid_frames.h"
#include "lone_owner.h"

namespace vesk::video {
namespace {

constexpr std::uint32_t kWidth = 64;
constexpr std::uint32_t kHeight = 48;
constexpr std::size_t kCameraRow = 4 * kWidth;
constexpr std::size_t kOutputRow = 2 * kCameraRow;
constexpr std::size_t kCameraFrame = kCameraRow * kHeight;
constexpr std::size_t kPictureBytes = 4 * kCameraFrame;
constexpr int kBottomUpRgb32 = XVID_CSP_BGRA | XVID_CSP_VFLIP;

using Picture = std::vector<std::uint8_t>;

using test::LoneOwner;

class Presence final : public filter::ChannelPresence {
 public:
  bool ChannelPresent(int channel) override { return channel >= 0 && channel < 4 && present[channel]; }
  bool present[4] = {true, true, true, true};
};

class Progress final : public NotifyTarget {
 public:
  void OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kRecordingProgressMessage && lParam == 2) numbers.push_back(static_cast<int>(wParam));
  }
  std::vector<int> numbers;
};

// Which quarter of the bottom-up output a byte offset lies in: 0 top left,
// 1 top right, 2 bottom left, 3 bottom right.
int QuarterOf(std::size_t offset) {
  const bool upper = offset / kOutputRow >= kHeight;
  const bool right = offset % kOutputRow >= kCameraRow;
  return (upper ? 0 : 2) + (right ? 1 : 0);
}

// The camera picture as it lies in the tile of quarter `quarter`.
Picture Tile(const Picture& output, int quarter) {
  Picture tile;
  const std::size_t first = (quarter < 2 ? kHeight : 0) * kOutputRow + (quarter % 2) * kCameraRow;
  for (std::size_t y = 0; y < kHeight; ++y)
    tile.insert(tile.end(), output.begin() + first + y * kOutputRow,
                output.begin() + first + y * kOutputRow + kCameraRow);
  return tile;
}

// Pixels of `tile` whose colour is near (b, g, r).
int PixelsNear(const Picture& pixels, int b, int g, int r) {
  int count = 0;
  for (std::size_t i = 0; i + 3 < pixels.size(); i += 4)
    if (std::abs(pixels[i] - b) < 40 && std::abs(pixels[i + 1] - g) < 40 && std::abs(pixels[i + 2] - r) < 40)
      ++count;
  return count;
}

class VideoPinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::unique_ptr<platform::TextRasterizer> rasterizer;
    std::string message;
    ASSERT_EQ(platform::TextRasterizer::Create(platform::TextRasterizer::kOverlayFamily, &rasterizer, &message),
              S_OK)
        << message;
    pin_ = std::make_unique<VideoPin>(owner_, pinLock_, presence_, std::move(rasterizer), [this] { return tick_; });
    input::ChannelRecord record;
    std::strcpy(record.options, "-width 64 -height 48");
    pin_->SetChannelDescription(record);

    sink_ = host::CountingSink::Create();
    sink_->SetSampleHook([this](IMediaSample& sample) {
      BYTE* data = nullptr;
      sample.GetPointer(&data);
      std::lock_guard hold(lock_);
      pictures_.emplace_back(data, data + kPictureBytes);
    });
    ASSERT_EQ(pin_->Connect(sink_->Pin(), nullptr), S_OK);
    ASSERT_EQ(sink_->Run(0), S_OK);
    ASSERT_EQ(pin_->Active(), S_OK);
    frames_ = reference::EncodeFrames(kWidth, kHeight, 8);
    // The description asked for a reconnection, which the first packet tries;
    // without a graph it fails and that packet goes: let it be a text packet.
    DeliverText(VideoPin::kGeneralOverlay, "");
  }
  void TearDown() override {
    pin_->Inactive();
    sink_->Stop();
  }

  void Deliver(std::int32_t kind, int pinIndex, const std::vector<std::uint8_t>& bytes = {}) {
    input::PacketPtr packet(input::Packet::Create(kind, static_cast<std::uint32_t>(bytes.size()), true));
    if (!bytes.empty()) std::memcpy(packet->data, bytes.data(), bytes.size());
    packet->length = static_cast<std::uint32_t>(bytes.size());
    packet->pinIndex = static_cast<std::uint8_t>(pinIndex);
    pin_->DeliverRecord(*packet);
  }
  void DeliverFrame(int camera, int frame) { Deliver(input::PacketKind::kData, camera, frames_[frame].bytes); }
  void DeliverText(int pinIndex, const std::string& text) {
    Deliver(input::PacketKind::kText, pinIndex, std::vector<std::uint8_t>(text.begin(), text.end()));
  }
  std::size_t Delivered() {
    std::lock_guard hold(lock_);
    return pictures_.size();
  }
  Picture Last() {
    std::lock_guard hold(lock_);
    return pictures_.empty() ? Picture() : pictures_.back();
  }

  LoneOwner owner_;
  platform::CriticalSection pinLock_;
  Presence presence_;
  std::uint32_t tick_ = 1000;
  std::unique_ptr<VideoPin> pin_;
  ComPtr<host::CountingSink> sink_;
  std::vector<mkrec::EncodedFrame> frames_;
  std::mutex lock_;  // guards pictures_
  std::vector<Picture> pictures_;
};

TEST_F(VideoPinTest, GridShowsEachCameraDecodedInItsOwnQuarter) {
  reference::ReferenceDecoder camera2(kBottomUpRgb32, kWidth, kHeight);
  reference::ReferenceDecoder camera0(kBottomUpRgb32, kWidth, kHeight);
  DeliverFrame(2, 0);
  EXPECT_EQ(Delivered(), 0u);  // the first picture of the pin's life is withheld
  camera2.Decode(frames_[0].bytes);

  DeliverFrame(2, 1);
  ASSERT_EQ(Delivered(), 1u);
  EXPECT_EQ(Tile(Last(), 2), camera2.Decode(frames_[1].bytes));

  const Picture before = Last();
  DeliverFrame(2, 2);
  const Picture after = Last();
  EXPECT_EQ(Tile(after, 2), camera2.Decode(frames_[2].bytes));
  for (std::size_t i = 0; i < kPictureBytes; ++i) {
    if (before[i] != after[i]) {
      ASSERT_EQ(QuarterOf(i), 2) << "byte " << i << " changed";
    }
  }

  DeliverFrame(0, 0);
  EXPECT_EQ(Tile(Last(), 0), camera0.Decode(frames_[0].bytes));
  EXPECT_EQ(Tile(Last(), 2), Tile(after, 2));

  // Only four cameras have a place: a fifth slot's frame goes nowhere.
  DeliverFrame(5, 0);
  EXPECT_EQ(Delivered(), 3u);
}

TEST_F(VideoPinTest, SingleCameraIsItsPictureEnlarged) {
  presence_.present[3] = false;
  pin_->SetActiveChannel(1);
  pin_->SetActiveChannel(3);  // absent: the selection stays
  EXPECT_EQ(pin_->GetActiveChannel(), 1);

  reference::ReferenceDecoder camera1(kBottomUpRgb32, kWidth, kHeight);
  DeliverFrame(1, 0);
  camera1.Decode(frames_[0].bytes);
  DeliverFrame(1, 1);
  ASSERT_EQ(Delivered(), 1u);
  Picture expected(kPictureBytes);
  EnlargePicture(camera1.Decode(frames_[1].bytes).data(), kWidth, kHeight, expected.data());
  EXPECT_EQ(Last(), expected);

  DeliverFrame(0, 0);  // another camera: composed nowhere, not delivered
  EXPECT_EQ(Delivered(), 1u);
}

TEST_F(VideoPinTest, StatisticsPassMarksAbsentAndSilentCameras) {
  presence_.present[1] = false;
  DeliverFrame(0, 0);  // starts the statistics period
  tick_ += 1000;
  DeliverFrame(0, 1);
  tick_ += 3500;  // more than 4000 ms since the period began
  DeliverFrame(0, 2);
  const Picture first = Last();
  // Camera 1's channel is off: its tile is black with the olive notice.
  EXPECT_GT(PixelsNear(Tile(first, 1), 0x80, 0x80, 0x00), 0);
  // Cameras 2 and 3 sent nothing: blacked out once, with the red notice.
  for (int quarter : {2, 3}) {
    const Picture tile = Tile(first, quarter);
    EXPECT_GT(PixelsNear(tile, 0x00, 0x00, 0xFF), 0);
    EXPECT_GT(PixelsNear(tile, 0, 0, 0), static_cast<int>(kWidth * kHeight / 2)) << "mostly black";
  }

  // The frames per second of camera 0 appear once that display is on.
  LONG on = 1;
  ASSERT_EQ(pin_->SwitchOp(filter::VideoSwitch::kFps, OptionWrite, &on), S_OK);
  reference::ReferenceDecoder camera0(kBottomUpRgb32, kWidth, kHeight);
  for (int f = 0; f <= 3; ++f) camera0.Decode(frames_[f].bytes);
  tick_ += 4100;
  DeliverFrame(0, 3);
  EXPECT_NE(Tile(Last(), 0), camera0.Decode(frames_[3].bytes)) << "the fps text is drawn over camera 0";
}

// The picture that composing camera 2's `decoded` into `previous` gives when
// no text is drawn.
Picture WithTile2(Picture previous, const Picture& decoded) {
  for (std::size_t y = 0; y < kHeight; ++y)
    std::copy_n(decoded.begin() + y * kCameraRow, kCameraRow, previous.begin() + y * kOutputRow);
  return previous;
}

TEST_F(VideoPinTest, TextPacketsShowOnTheirCamerasUntilTheThirdClockStep) {
  reference::ReferenceDecoder camera2(kBottomUpRgb32, kWidth, kHeight);
  DeliverFrame(2, 0);
  camera2.Decode(frames_[0].bytes);
  DeliverFrame(2, 1);
  camera2.Decode(frames_[1].bytes);

  DeliverText(7, "ALARM");  // beyond the cameras: shown on all four
  Picture previous = Last();
  DeliverFrame(2, 2);
  EXPECT_NE(Last(), WithTile2(previous, camera2.Decode(frames_[2].bytes)));

  pin_->SetClock(100);
  pin_->SetClock(101);
  previous = Last();
  DeliverFrame(2, 3);
  EXPECT_NE(Last(), WithTile2(previous, camera2.Decode(frames_[3].bytes))) << "still shown after two steps";
  pin_->SetClock(102);
  previous = Last();
  DeliverFrame(2, 4);
  EXPECT_EQ(Last(), WithTile2(previous, camera2.Decode(frames_[4].bytes))) << "hidden at the third";

  // Switching the message display off and on again shows the stored text once more.
  LONG flags = 0;
  ASSERT_EQ(pin_->CameraOptionOp(2, OptionWrite, &flags), S_OK);
  flags = 2;
  ASSERT_EQ(pin_->CameraOptionOp(2, OptionWrite, &flags), S_OK);
  previous = Last();
  DeliverFrame(2, 5);
  EXPECT_NE(Last(), WithTile2(previous, camera2.Decode(frames_[5].bytes)));
}

TEST_F(VideoPinTest, TimeOutBlacksOnlyTheLowestRowsAndShowsTheNotice) {
  DeliverFrame(0, 0);
  DeliverFrame(2, 0);
  DeliverFrame(3, 0);
  const Picture before = Last();
  Deliver(input::PacketKind::kTimeOut, 0);
  const Picture after = Last();
  ASSERT_EQ(Delivered(), 3u);
  // The notice stands on the bottom row and may reach above the blacked rows,
  // but the upper half of the picture stays as it was.
  EXPECT_TRUE(std::equal(before.begin() + 2 * kCameraFrame, before.end(), after.begin() + 2 * kCameraFrame));
  const Picture lowest(after.begin(), after.begin() + kCameraFrame);
  EXPECT_GT(PixelsNear(lowest, 0x00, 0x00, 0xFF), 0) << "the red notice";
  EXPECT_GT(PixelsNear(lowest, 0, 0, 0), static_cast<int>(kCameraFrame / 4 / 2));
  EXPECT_EQ(pin_->GetActiveChannel(), -1);
}

TEST_F(VideoPinTest, SnapshotFreezesAndRecordingKeepsTheComposedPictures) {
  mkrec::testing::ScratchDir dir;
  pin_->SaveSnapshot(dir.File("early"));  // nothing composed yet: no file
  pin_->SetFreezeMode(0, "");
  EXPECT_TRUE(dir.Names().empty());

  pin_->SetClock(1000000000);  // 09/09/01 01:46:40 UTC
  DeliverFrame(0, 0);
  DeliverFrame(0, 1);
  const Picture shown = Last();
  pin_->SaveSnapshot(dir.File("snap"));
  const auto bmp = capture::testing::ReadFile(dir.File("snap_090901_014640.bmp"));
  ASSERT_EQ(bmp.size(), 54 + kPictureBytes);
  EXPECT_TRUE(std::equal(shown.begin(), shown.end(), bmp.begin() + 54));
  DeliverFrame(0, 2);
  EXPECT_EQ(Last(), shown) << "frozen";
  pin_->SetFreezeMode(0, "");

  Progress progress;
  pin_->SetNotifyWindow(AsNotifyWindow(&progress));
  pin_->StartRecording(dir.File("rec"), 3);
  std::vector<Picture> composed;
  for (int f = 3; f <= 6; ++f) {
    composed.push_back(Last());
    DeliverFrame(0, f);
  }
  pin_->SetNotifyWindow(nullptr);
  EXPECT_EQ(progress.numbers, (std::vector<int>{1, 2, 3, 0}));
  const auto avi = capture::testing::ParseAvi(dir.File("rec_090901_014640.avi"));
  ASSERT_EQ(avi.error, "");
  ASSERT_EQ(avi.frames.size(), 2u);  // compositions 2 and 3, each as the one before left it
  for (std::size_t i = 0; i < 2; ++i)
    EXPECT_TRUE(std::equal(composed[i + 1].begin(), composed[i + 1].end(), avi.bytes.begin() + avi.frames[i] + 8));
}

TEST_F(VideoPinTest, MediaTypesFollowTheCameraSizeOfTheDescription) {
  DWORD width = 0, height = 0;
  input::ChannelRecord record;
  std::strcpy(record.options, "-width=704");
  pin_->SetChannelDescription(record);
  pin_->GetFrameSize(&width, &height);
  EXPECT_EQ(width, 704u);
  EXPECT_EQ(height, 704u);  // no height: square
  std::strcpy(record.options, "-height=100");
  pin_->SetChannelDescription(record);
  pin_->GetFrameSize(&width, &height);
  EXPECT_EQ(height, 704u);  // no width: unchanged

  AM_MEDIA_TYPE type{};
  ASSERT_EQ(pin_->GetMediaType(1, &type), S_OK);
  VIDEOINFOHEADER format;
  std::memcpy(&format, type.pbFormat, sizeof format);
  EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB24);
  EXPECT_EQ(format.bmiHeader.biWidth, 1408);
  EXPECT_EQ(format.bmiHeader.biHeight, 1408);
  EXPECT_EQ(format.bmiHeader.biSizeImage, 1408u * 3 * 1408);
  FreeMediaType(type);
  EXPECT_EQ(pin_->GetMediaType(2, &type), VFW_S_NO_MORE_ITEMS);
  EXPECT_EQ(pin_->GetMediaType(-1, &type), E_INVALIDARG);

  // The pictures keep the negotiated size until the pin is connected again.
  DeliverFrame(0, 0);
  DeliverFrame(0, 1);
  EXPECT_EQ(Delivered(), 0u) << "a reconnection is due and cannot happen without a graph";
}

}  // namespace
}  // namespace vesk::video
