// The display settings kept between sessions: what the filter saves, what
// every configuration it takes in loads back, and how a missing, partial or
// broken store is taken.
#include "settings/settings_persistence.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "mkrec/stream_writer.h"
#include "module/factory_table.h"
#include "scratch_dir.h"
#include "vesk/com_ptr.h"

namespace vesk::settings {
namespace {

constexpr const char* kKey = SettingsPersistence::kSettingsKey;

class SettingsPersistenceTest : public ::testing::Test {
 protected:
  SettingsPersistenceTest() {
    ::setenv("XDG_CONFIG_HOME", folder_.File("config").c_str(), 1);
    // Four cameras and two audio channels.
    mkrec::FileSink file(recording_);
    mkrec::StreamWriter writer(file);
    writer.ChannelDescription(mkrec::ConfigurationBuilder("Recorder")
                                  .Channel(0, input::kChannelVideo, "xvid", "cam0", "")
                                  .Channel(1, input::kChannelVideo, "xvid", "cam1", "")
                                  .Channel(2, input::kChannelVideo, "xvid", "cam2", "")
                                  .Channel(3, input::kChannelVideo, "xvid", "cam3", "")
                                  .Channel(8, input::kChannelAudio, "PCM", "mic", "rate=8000")
                                  .Channel(9, input::kChannelAudio, "PCM", "mic2", "rate=8000")
                                  .bytes());
    writer.IndexPosition(1000);
    EXPECT_TRUE(file.Close());
  }

  // A new filter that has taken in the recording's configuration.
  ComPtr<ISplitterSettings> LoadedFilter() {
    HRESULT hr = E_FAIL;
    IUnknown* created = module::FindFactoryEntry(CLSID_SplitterFilter)->create(nullptr, &hr);
    EXPECT_EQ(hr, S_OK);
    ComPtr<ISplitterSettings> settings;
    created->QueryInterface(IID_ISplitterSettings, reinterpret_cast<void**>(settings.GetAddressOf()));
    ComPtr<IFileSourceFilter> source;
    settings.As(IID_IFileSourceFilter, &source);
    const std::u16string name(recording_.begin(), recording_.end());
    EXPECT_EQ(source->Load(name.c_str(), nullptr), S_OK);
    return settings;
  }

  static LONG Switch(ISplitterSettings& settings, HRESULT (STDMETHODCALLTYPE ISplitterSettings::*op)(LONG, LONG*)) {
    LONG value = -7;
    EXPECT_EQ((settings.*op)(OptionRead, &value), S_OK);
    return value;
  }
  static LONG CameraOption(ISplitterSettings& settings, LONG camera) {
    LONG value = -7;
    EXPECT_EQ(settings.CameraOptionOp(camera, OptionRead, &value), S_OK);
    return value;
  }
  void Store(const std::function<void(platform::RegistryTree&)>& edit) {
    std::string error;
    ASSERT_EQ(platform::SettingsStore().Update(edit, &error), S_OK) << error;
  }
  platform::RegistryTree Stored() {
    platform::RegistryTree tree;
    std::string error;
    EXPECT_EQ(platform::SettingsStore().Read(&tree, &error), S_OK) << error;
    return tree;
  }

  mkrec::testing::ScratchDir folder_;
  std::string recording_ = folder_.File("settings.vsk");
};

TEST_F(SettingsPersistenceTest, FirstRunShowsAllCamerasWithTheTimeStamp) {
  auto settings = LoadedFilter();
  EXPECT_EQ(settings->GetActiveCamera(), -1);
  EXPECT_EQ(Switch(*settings, &ISplitterSettings::ShowTimeOp), 1);
  EXPECT_EQ(Switch(*settings, &ISplitterSettings::ShowFpsOp), 0);
  EXPECT_EQ(settings->GetMute(), 0);
  EXPECT_EQ(CameraOption(*settings, 2), 2);
  EXPECT_FALSE(std::filesystem::exists(platform::SettingsStore::DefaultPath())) << "loading writes nothing";
}

TEST_F(SettingsPersistenceTest, SavedSettingsComeBackInTheNextFilter) {
  {
    auto settings = LoadedFilter();
    LONG five = 5, off = 0, zero = 0;
    settings->ShowFpsOp(OptionWrite, &five);
    settings->ShowTimeOp(OptionWrite, &zero);
    settings->CameraOptionOp(1, OptionWrite, &off);
    settings->SetActiveAudio(1);
    settings->SetMute(1);
    settings->SetActiveCamera(2);
    settings->SetBrightness(30);
    ASSERT_EQ(settings->SaveSettings(), S_OK);
  }
  const platform::RegistryTree tree = Stored();
  EXPECT_EQ(tree.GetDword(kKey, "ActiveCamera"), 2u);
  EXPECT_EQ(tree.GetDword(kKey, "bShowFPS"), 5u);
  EXPECT_EQ(tree.GetDword(kKey, "subopt1"), 0u);
  EXPECT_EQ(tree.GetDword(kKey, "subopt0"), 2u);
  EXPECT_FALSE(tree.GetDword(kKey, "Brightness")) << "adjustments are not kept";

  auto settings = LoadedFilter();
  EXPECT_EQ(settings->GetActiveCamera(), -1) << "a configuration always starts with all cameras";
  EXPECT_EQ(Switch(*settings, &ISplitterSettings::ShowFpsOp), 5);
  EXPECT_EQ(Switch(*settings, &ISplitterSettings::ShowTimeOp), 0);
  EXPECT_EQ(CameraOption(*settings, 1), 0);
  EXPECT_EQ(settings->GetActiveAudio(), 1);
  EXPECT_EQ(settings->GetMute(), 1);

  // Loading again leaves the adjustments and slider positions alone, and a
  // camera chosen in between gives way to all cameras.
  settings->SetSharpness(3);
  LONG position = 77;
  settings->SmoothSliderOp(OptionWrite, &position);
  settings->SetActiveCamera(3);
  EXPECT_EQ(settings->LoadSettings(), S_OK);
  EXPECT_EQ(settings->GetSharpness(), 3);
  EXPECT_EQ(Switch(*settings, &ISplitterSettings::SmoothSliderOp), 77);
  EXPECT_EQ(settings->GetActiveCamera(), -1);
}

TEST_F(SettingsPersistenceTest, StoredValuesPassTheChecksOfTheirSetters) {
  Store([](platform::RegistryTree& tree) {
    tree.SetDword(kKey, "ActiveAudio", 7);  // only two audio channels
    tree.SetDword(kKey, "bShowACTIV", 1);   // no "bShowBPS" before it
    tree.SetDword(kKey, "bMute", 1);
    tree.SetDword(kKey, "subopt2", 3);
    tree.SetString(kKey, "FromANewerVersion", "kept");
  });
  auto settings = LoadedFilter();
  EXPECT_EQ(settings->GetActiveAudio(), 0);
  EXPECT_EQ(Switch(*settings, &ISplitterSettings::ShowBpsOp), 0);
  EXPECT_EQ(Switch(*settings, &ISplitterSettings::ShowActivityOp), 1);
  EXPECT_EQ(Switch(*settings, &ISplitterSettings::ShowTimeOp), 0) << "a store exists: no first-run time stamp";
  EXPECT_EQ(settings->GetMute(), 1);
  EXPECT_EQ(CameraOption(*settings, 2), 2);

  Store([](platform::RegistryTree& tree) { tree.SetDword(kKey, "ActiveAudio", 0xFFFFFFFFu); });
  EXPECT_EQ(settings->LoadSettings(), S_OK);
  EXPECT_EQ(settings->GetActiveAudio(), -1) << "every audio channel";

  ASSERT_EQ(settings->SaveSettings(), S_OK);
  const platform::RegistryTree tree = Stored();
  EXPECT_EQ(tree.GetDword(kKey, "subopt2"), 2u);
  EXPECT_EQ(tree.GetString(kKey, "FromANewerVersion"), "kept");
}

TEST_F(SettingsPersistenceTest, BrokenStoreCountsAsNoneAndIsKeptAsideWhenSaving) {
  const std::string path = platform::SettingsStore::DefaultPath();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << "this is not a registry export\n";

  auto settings = LoadedFilter();
  EXPECT_EQ(Switch(*settings, &ISplitterSettings::ShowTimeOp), 1) << "first-run settings";
  settings->SetMute(1);
  ASSERT_EQ(settings->SaveSettings(), S_OK);
  EXPECT_TRUE(std::filesystem::exists(path + ".bad"));
  EXPECT_EQ(Stored().GetDword(kKey, "bMute"), 1u);
}

}  // namespace
}  // namespace vesk::settings
