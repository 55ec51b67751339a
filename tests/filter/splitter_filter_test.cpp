#include "filter/splitter_filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "mkrec/stream_writer.h"
#include "module/factory_table.h"
#include "scratch_dir.h"
#include "vesk/com_ptr.h"

namespace vesk::filter {
namespace {

constexpr LONGLONG kSecond = 10000000;

class SplitterFilterTest : public ::testing::Test {
 protected:
  SplitterFilterTest() {
    HRESULT hr = E_FAIL;
    IUnknown* created = module::FindFactoryEntry(CLSID_SplitterFilter)->create(nullptr, &hr);
    EXPECT_EQ(hr, S_OK);
    created->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(filter_.GetAddressOf()));
    filter_->QueryInterface(IID_ISplitterSettings, reinterpret_cast<void**>(settings_.GetAddressOf()));
    filter_->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(source_.GetAddressOf()));
  }
  ~SplitterFilterTest() override { filter_->Stop(); }

  // Index positions at 1000, 1010 and 1020, a second of audio after each.
  void WriteRecording() {
    mkrec::FileSink file(path_);
    mkrec::StreamWriter writer(file);
    writer.ChannelDescription(mkrec::ConfigurationBuilder("Recorder")
                                  .Channel(8, input::kChannelAudio, "PCM", "mic", "rate=8000")
                                  .Channel(9, input::kChannelAudio, "PCM", "mic2", "rate=8000")
                                  .bytes());
    for (std::uint32_t time : {1000u, 1010u, 1020u}) {
      offsets_.push_back(writer.Position());
      writer.IndexPosition(time);
      writer.DataPacket(8, std::vector<std::uint8_t>(8000, 0x80));
    }
    ASSERT_TRUE(file.Close());
  }
  HRESULT Load(const std::u16string& name) { return source_->Load(name.c_str(), nullptr); }
  std::u16string Path() const { return std::u16string(path_.begin(), path_.end()); }
  ComPtr<IMediaSeeking> Seeking() {
    ComPtr<IMediaSeeking> seeking;
    filter_->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(seeking.GetAddressOf()));
    return seeking;
  }
  bool Seekable() { return static_cast<bool>(Seeking()); }

  mkrec::testing::ScratchDir dir_;
  std::string path_ = dir_.File("filter.vsk");
  std::vector<std::uint64_t> offsets_;
  ComPtr<IBaseFilter> filter_;
  ComPtr<ISplitterSettings> settings_;
  ComPtr<IFileSourceFilter> source_;
};

TEST_F(SplitterFilterTest, LocalFileIsIndexedAndSeekable) {
  WriteRecording();
  EXPECT_FALSE(Seekable());
  LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
  EXPECT_EQ(source_->GetCurFile(&name, nullptr), S_OK);
  EXPECT_EQ(name, nullptr);

  ASSERT_EQ(Load(u"file:\\" + Path()), S_OK);
  EXPECT_EQ(Load(Path()), E_FAIL);  // one source per filter
  ASSERT_TRUE(Seekable());
  EXPECT_EQ(settings_->IsLocalSource(), 1);
  EXPECT_EQ(settings_->GetStartTime(), 1000);
  EXPECT_EQ(settings_->GetEndTime(), 1020);
  EXPECT_EQ(settings_->GetAudioChannelCount(), 2);

  ComPtr<IMediaSeeking> seeking = Seeking();
  LONGLONG duration = 0, earliest = 1, latest = 0, position = 1;
  EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, 20 * kSecond);
  EXPECT_EQ(seeking->GetAvailable(&earliest, &latest), S_OK);
  EXPECT_EQ(earliest, 0);
  EXPECT_EQ(latest, 20 * kSecond);
  EXPECT_EQ(seeking->GetCurrentPosition(&position), S_OK);
  EXPECT_EQ(position, 0);

  DWORD capabilities = AM_SEEKING_CanSeekForwards;
  EXPECT_EQ(seeking->CheckCapabilities(&capabilities), S_FALSE);
  EXPECT_EQ(seeking->SetRate(3.0), static_cast<HRESULT>(0x8004025C));
  EXPECT_EQ(seeking->SetRate(2.0), S_OK);
  EXPECT_EQ(settings_->GetPlaybackRate(), 2.0);
  EXPECT_EQ(seeking->SetPositions(nullptr, AM_SEEKING_NoPositioning, nullptr, 0), S_OK);
  LONGLONG target = 15 * kSecond;
  EXPECT_EQ(seeking->SetPositions(&target, AM_SEEKING_RelativePositioning, nullptr, 0), E_INVALIDARG);
  EXPECT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
  EXPECT_EQ(target, 15 * kSecond);  // the caller's value is not written

  // Index stepping starts from the entry before the reading position.
  EXPECT_EQ(settings_->SetPlayMode(2), S_OK);

  name = nullptr;
  EXPECT_EQ(source_->GetCurFile(&name, nullptr), S_OK);
  EXPECT_EQ(std::u16string(name), u"file:\\" + Path());
  CoTaskMemFree(name);
}

TEST_F(SplitterFilterTest, LiveSourceAndRefusedFiles) {
  EXPECT_EQ(settings_->IsLocalSource(), 0);
  EXPECT_EQ(Load(u"HTTP://127.0.0.1/stream"), E_FAIL);  // not a URL: a file that is not there
  EXPECT_EQ(source_->Load(nullptr, nullptr), E_POINTER);

  std::ofstream(path_) << "not a recording at all";
  EXPECT_EQ(Load(Path()), E_FAIL);
  EXPECT_FALSE(Seekable());
}

TEST_F(SplitterFilterTest, HttpLocationIsNotSeekable) {
  ASSERT_EQ(Load(u"http://127.0.0.1:9/stream"), S_OK);
  EXPECT_FALSE(Seekable());
  EXPECT_EQ(settings_->IsLocalSource(), 0);
  EXPECT_EQ(settings_->GetStartTime(), -1);
  EXPECT_EQ(settings_->SetPlaybackRate(2.0), static_cast<HRESULT>(0x8004025C));

  // The download shares the packet reader with a Load's scan: no Load while it runs.
  WriteRecording();
  ASSERT_EQ(filter_->Pause(), S_OK);
  EXPECT_EQ(Load(Path()), VFW_E_NOT_STOPPED);
  ASSERT_EQ(filter_->Stop(), S_OK);
  EXPECT_EQ(Load(Path()), S_OK);
}

TEST_F(SplitterFilterTest, StateChangesAnswerAsAFilterMust) {
  WriteRecording();
  ASSERT_EQ(Load(Path()), S_OK);
  FILTER_STATE state;
  EXPECT_EQ(filter_->GetState(0, &state), VFW_S_CANT_CUE);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(filter_->Pause(), S_OK);
  EXPECT_EQ(filter_->Pause(), S_OK);  // no second reading thread
  EXPECT_EQ(filter_->Run(0), S_OK);
  EXPECT_EQ(filter_->GetState(0, &state), VFW_S_CANT_CUE);
  EXPECT_EQ(state, State_Running);
  EXPECT_EQ(filter_->Stop(), S_OK);
  EXPECT_EQ(filter_->Stop(), S_OK);
  EXPECT_EQ(filter_->GetState(0, &state), VFW_S_CANT_CUE);
  EXPECT_EQ(state, State_Stopped);
}

TEST_F(SplitterFilterTest, SettingsOfTheInputSide) {
  WriteRecording();
  char name[80];
  EXPECT_EQ(settings_->GetDeviceName(name, sizeof name), S_OK);
  EXPECT_STREQ(name, "");
  ASSERT_EQ(Load(Path()), S_OK);
  char shortName[5];
  EXPECT_EQ(settings_->GetDeviceName(shortName, sizeof shortName), S_OK);
  EXPECT_STREQ(shortName, "Reco");
  EXPECT_EQ(settings_->GetDeviceName(nullptr, 5), E_POINTER);

  EXPECT_EQ(settings_->SetActiveAudio(-1), S_OK);
  EXPECT_EQ(settings_->GetActiveAudio(), -1);
  EXPECT_EQ(settings_->SetActiveAudio(7), S_OK);
  EXPECT_EQ(settings_->GetActiveAudio(), 0);

  char time[18];
  EXPECT_EQ(settings_->FormatTime(0, time), S_OK);
  EXPECT_STREQ(time, "01/01/70 00:00:00");
  EXPECT_EQ(settings_->IsChannelPresent(9), 1);
  EXPECT_EQ(settings_->IsChannelPresent(256), 0);
  EXPECT_EQ(settings_->GetActiveCamera(), -1);
  EXPECT_EQ(settings_->LoadExt2(), -1);

  char report[1024];
  EXPECT_EQ(settings_->GetConfigReport(report, sizeof report), S_OK);
  EXPECT_NE(std::strstr(report, "Audio configuration: 1, 8000, 8\r\n"), nullptr) << report;
}

TEST_F(SplitterFilterTest, SettingsOfTheVideoSide) {
  EXPECT_EQ(settings_->SetAdjustments(10, 20, 30, 2, 40), S_OK);
  EXPECT_EQ(settings_->SetContrast(25), S_OK);
  EXPECT_EQ(settings_->ApplyAdjustments(), S_OK);
  EXPECT_EQ(settings_->GetBrightness(), 10);
  EXPECT_EQ(settings_->GetContrast(), 25);
  EXPECT_EQ(settings_->GetReservedAdjustment(), 30);
  EXPECT_EQ(settings_->GetSharpness(), 2);
  EXPECT_EQ(settings_->GetSmooth(), 40);

  // No channel is present before a configuration: the grid stays selected.
  EXPECT_EQ(settings_->SetActiveCamera(2), S_OK);
  EXPECT_EQ(settings_->GetActiveCamera(), -1);
  DWORD width = 0, height = 0;
  EXPECT_EQ(settings_->GetFrameSize(&width, nullptr), E_POINTER);
  EXPECT_EQ(settings_->GetFrameSize(&width, &height), S_OK);
  EXPECT_EQ(width, 400u);
  EXPECT_EQ(height, 288u);

  LONG value = 7;
  EXPECT_EQ(settings_->ShowSmoothOp(OptionWrite, &value), S_OK);
  value = 0;
  EXPECT_EQ(settings_->ShowSmoothOp(OptionRead, &value), S_OK);
  EXPECT_EQ(value, 7);  // kept as given
  EXPECT_EQ(settings_->ShowBrightnessOp(OptionRead, nullptr), E_POINTER);
  EXPECT_EQ(settings_->BrightnessSliderOp(OptionRead, &value), S_OK);
  EXPECT_EQ(value, 100);
  EXPECT_EQ(settings_->ContrastSliderOp(0x1002, &value), E_INVALIDARG);
  EXPECT_EQ(settings_->ShowTimeOp(0x1002, &value), E_INVALIDARG);
  EXPECT_EQ(settings_->CameraOptionOp(5, OptionRead, &value), E_INVALIDARG);
  EXPECT_EQ(settings_->CameraOptionOp(-1, OptionRead, &value), E_INVALIDARG);
  EXPECT_EQ(settings_->CameraOptionOp(4, OptionRead, &value), S_OK);
  EXPECT_EQ(value, 2);  // the general overlay shows its messages
  value = 1;
  ASSERT_EQ(settings_->ShowBpsOp(OptionWrite, &value), S_OK);
  value = 0;
  EXPECT_EQ(settings_->ShowBpsOp(OptionRead, &value), S_OK);
  EXPECT_EQ(value, 1);

  ComPtr<IPin> video;
  ASSERT_EQ(filter_->FindPin(u"VideoOutput0", video.GetAddressOf()), S_OK);
}

}  // namespace
}  // namespace vesk::filter
