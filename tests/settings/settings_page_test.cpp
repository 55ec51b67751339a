// The settings page as a host's property frame and its user meet it: made by
// the module's class factory, driven through IPropertyPage, shown through a
// fake dialog system, changing a fake filter's settings.
#include <gtest/gtest.h>

#include <string>

#include "fake_dialog_system.h"
#include "fake_splitter_settings.h"
#include "module/class_factory.h"
#include "settings/settings_page.h"
#include "settings/installed_dialog_system.h"
#include "vesk/com_ptr.h"

namespace vesk::settings::testing {
namespace {

using namespace page_control;

constexpr int kSubtitles = kFirstSubtitles, kCamera = kFirstCamera, kChannel = kFirstAudioChannel;
const RECT kPlace = {4, 8, 616, 428};
HWND const kParent = reinterpret_cast<HWND>(0x4242);

ComPtr<IClassFactory> FactoryFor(REFCLSID classId) {
  return ComPtr<IClassFactory>(new module::ClassFactory(*module::FindFactoryEntry(classId)));
}

// An object that aggregates the page, or one that is no filter.
struct CountingUnknown final : IUnknown {
  STDMETHOD(QueryInterface)(REFIID, void** object) override {
    ++queries;
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++references; }
  STDMETHOD_(ULONG, Release)() override { return --references; }
  ULONG references = 1;
  int queries = 0;
};

class SettingsPageTest : public ::testing::Test {
 protected:
  SettingsPageTest() {
    InstallDialogSystem(&system_);
    EXPECT_EQ(FactoryFor(CLSID_SettingsPage)->CreateInstance(nullptr, IID_IPropertyPage, Out(page_)), S_OK);
  }
  ~SettingsPageTest() override { InstallDialogSystem(nullptr); }

  template <class T>
  static void** Out(ComPtr<T>& pointer) {
    return reinterpret_cast<void**>(pointer.GetAddressOf());
  }
  HRESULT Connect(IUnknown* object) { return page_->SetObjects(1, &object); }
  // Connects the page to the fake filter and activates it: the page's dialog.
  FakeDialog& Open() {
    if (settings_.references == 1) {
      EXPECT_EQ(Connect(&settings_), S_OK);
    }
    EXPECT_EQ(page_->Activate(kParent, &kPlace, FALSE), S_OK);
    EXPECT_TRUE(system_.open);
    return *system_.open;
  }
  FakeDialog& Reopen() {
    EXPECT_EQ(page_->Deactivate(), S_OK);
    return Open();
  }

  FakeSplitterSettings settings_;
  FakeDialogSystem system_;
  ComPtr<IPropertyPage> page_;
};

// ---- The page object -----------------------------------------------------------------

TEST_F(SettingsPageTest, FactoryMakesThePageAloneOrAggregated) {
  ComPtr<IClassFactory> factory = FactoryFor(CLSID_SettingsPage);
  const long before = ModuleObjectCount::Active();
  ComPtr<IUnknown> other;
  EXPECT_EQ(page_.As(IID_IUnknown, &other), S_OK);
  EXPECT_EQ(page_.As(IID_ISplitterSettings, &other), E_NOINTERFACE);

  CountingUnknown outer;
  IUnknown* inner = nullptr;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
  EXPECT_EQ(ModuleObjectCount::Active(), before + 1);
  IPropertyPage* page = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
  EXPECT_EQ(outer.references, 2u);  // the page's references belong to the outer object
  EXPECT_EQ(page->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&other)), E_NOINTERFACE);
  EXPECT_EQ(outer.queries, 1);
  page->Release();
  EXPECT_EQ(inner->Release(), 0u);
  EXPECT_EQ(ModuleObjectCount::Active(), before);
}

TEST_F(SettingsPageTest, FrameCallsOutOfTurnAreRefused) {
  EXPECT_EQ(page_->Activate(kParent, nullptr, FALSE), E_POINTER);
  EXPECT_EQ(page_->Activate(kParent, &kPlace, FALSE), E_UNEXPECTED);  // no object
  EXPECT_EQ(page_->Deactivate(), E_UNEXPECTED);
  EXPECT_EQ(page_->Move(&kPlace), E_UNEXPECTED);
  EXPECT_EQ(Connect(nullptr), E_POINTER);
  EXPECT_EQ(page_->SetObjects(0, nullptr), E_UNEXPECTED);  // nothing to let go

  CountingUnknown stranger;
  EXPECT_EQ(Connect(&stranger), E_NOINTERFACE);
  EXPECT_EQ(page_->Activate(kParent, &kPlace, FALSE), E_UNEXPECTED);

  ASSERT_EQ(Connect(&settings_), S_OK);
  EXPECT_EQ(settings_.references, 2u);
  EXPECT_EQ(page_->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(settings_.references, 1u);
}

TEST_F(SettingsPageTest, ActivationWithoutDialogsFailsCleanly) {
  InstallDialogSystem(nullptr);
  ASSERT_EQ(Connect(&settings_), S_OK);
  EXPECT_EQ(page_->Activate(kParent, &kPlace, FALSE), kNoDialogSystem);
  EXPECT_EQ(page_->Deactivate(), E_UNEXPECTED);
  PROPPAGEINFO info{};
  ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
  EXPECT_EQ(info.size.cx, 340);
  EXPECT_EQ(info.size.cy, 150);
  CoTaskMemFree(info.pszTitle);

  InstallDialogSystem(&system_);
  system_.refuse = true;
  EXPECT_EQ(page_->Activate(kParent, &kPlace, FALSE), E_OUTOFMEMORY);
  system_.refuse = false;
  EXPECT_EQ(Open().State(kDeviceGroup).text, "Device name: DVR-7");
}

TEST_F(SettingsPageTest, ActivePageLivesInTheFrame) {
  PROPPAGEINFO info{};
  ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
  EXPECT_EQ(std::u16string(info.pszTitle), u"ZEZ Ezizov Uzodir Iduzavadiz");
  EXPECT_EQ(info.size.cx, 612);
  EXPECT_EQ(info.size.cy, 420);
  CoTaskMemFree(info.pszTitle);

  FakeDialog& dialog = Open();
  EXPECT_EQ(system_.parentOfLast, kParent);
  EXPECT_TRUE(dialog.visible_);
  EXPECT_EQ(dialog.place_.bottom, kPlace.bottom);
  EXPECT_EQ(page_->Activate(kParent, &kPlace, FALSE), E_UNEXPECTED);  // already open
  EXPECT_EQ(page_->Show(SW_HIDE), S_OK);
  EXPECT_FALSE(dialog.visible_);
  EXPECT_EQ(page_->Show(3), E_INVALIDARG);

  // Every deactivation saves, even when nothing changed.
  dialog.Click(kMuteAll);
  Reopen();
  EXPECT_EQ(settings_.saves, 1);
  EXPECT_EQ(page_->Deactivate(), S_OK);
  EXPECT_EQ(settings_.saves, 2);
  EXPECT_EQ(system_.open, nullptr);

  // A page let go with its dialog open closes the dialog and its connection.
  Open();
  page_.Reset();
  EXPECT_EQ(system_.open, nullptr);
  EXPECT_EQ(settings_.references, 1u);
}

// ---- What activation shows ---------------------------------------------------------------

TEST_F(SettingsPageTest, ActivationShowsTheFilterSettings) {
  settings_.endTime = 1764936009;
  settings_.sharpnessPosition = 3, settings_.brightnessPosition = 150;
  settings_.smoothPosition = 20, settings_.contrastPosition = 70;
  settings_.showTime = 1, settings_.showActivity = 1, settings_.showFps = 5, settings_.showSmooth = 1;
  settings_.mute = 1;
  settings_.option = {2, 0, 6, 1, 2};
  FakeDialog& dialog = Open();

  EXPECT_EQ(dialog.State(kDeviceGroup).text, "Device name: DVR-7");
  const struct {
    int bar, maximum, position;
    bool enabled;
  } bars[] = {{kSharpnessBar, 4, 3, true}, {kBrightnessBar, 200, 150, false}, {kSmoothBar, 100, 20, true},
              {kContrastBar, 100, 70, false}};
  for (const auto& bar : bars) {
    EXPECT_EQ(dialog.State(bar.bar).maximum, bar.maximum) << bar.bar;
    EXPECT_EQ(dialog.State(bar.bar).position, bar.position) << bar.bar;
    EXPECT_EQ(dialog.State(bar.bar).enabled, bar.enabled) << bar.bar;
  }
  for (int box : {kShowTime, kShowActivity, kShowFramesPerSecond, kShowSettings1, kMuteAll, kSubtitles, kSubtitles + 2,
                  kShowAllCameras, kChannel})
    EXPECT_TRUE(dialog.State(box).checked) << box;
  for (int box : {kShowBytesPerSecond, kShowSettings2, kSubtitles + 1, kSubtitles + 3, kCamera, kChannel + 1})
    EXPECT_FALSE(dialog.State(box).checked) << box;
  EXPECT_EQ(dialog.State(kStartTime).text, "01/01/70 00:00:00");
  EXPECT_EQ(dialog.State(kEndTime).text, "05/12/25 12:00:09");
}

TEST_F(SettingsPageTest, AudioButtonsFollowTheChannelCount) {
  settings_.audioChannels = 2;
  settings_.activeAudio = 3;
  FakeDialog* dialog = &Open();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog->State(kChannel + i).enabled, i < 2) << i;
  EXPECT_TRUE(dialog->State(kChannel).checked);
  EXPECT_TRUE(dialog->State(kMuteAll).enabled);

  settings_.audioChannels = 0;  // a recording without audio
  dialog = &Reopen();
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(dialog->State(kChannel + i).enabled) << i;
  EXPECT_FALSE(dialog->State(kMuteAll).enabled);
  EXPECT_TRUE(dialog->State(kChannel).checked);
}

TEST_F(SettingsPageTest, AbsentCameraCannotBeChosenOrSubtitled) {
  settings_.present[2] = false;
  settings_.activeCamera = 1;
  FakeDialog& dialog = Open();
  EXPECT_FALSE(dialog.State(kSubtitles + 2).enabled);
  EXPECT_FALSE(dialog.State(kSubtitles + 2).checked);  // though its option word has the show bit
  EXPECT_FALSE(dialog.State(kCamera + 2).enabled);
  EXPECT_TRUE(dialog.State(kCamera + 1).checked);
  EXPECT_FALSE(dialog.State(kShowAllCameras).checked);

  EXPECT_EQ(dialog.Command(kCamera + 2, BN_CLICKED), 1);  // a click on the disabled button
  EXPECT_EQ(settings_.activeCamera, 1);
}

// ---- Scroll bars ----------------------------------------------------------------------------

TEST_F(SettingsPageTest, ArrowsStepFromTheFilterValueWithinTheRange) {
  settings_.brightness = 100, settings_.brightnessPosition = 200;
  settings_.contrast = -10;  // while the bar stands at 50
  FakeDialog& dialog = Open();

  EXPECT_EQ(dialog.Scroll(kBrightnessBar, SB_LINERIGHT), 0);
  EXPECT_EQ(dialog.State(kBrightnessBar).position, 200);
  EXPECT_EQ(settings_.brightness, 100);
  EXPECT_EQ(settings_.adjustmentWrites, 1);  // written again
  dialog.Scroll(kSharpnessBar, SB_LINELEFT);
  EXPECT_EQ(settings_.sharpness, 0);
  dialog.Scroll(kContrastBar, SB_LINERIGHT);
  EXPECT_EQ(dialog.State(kContrastBar).position, 41);
  EXPECT_EQ(settings_.contrast, -9);
  EXPECT_EQ(settings_.contrastPosition, 41);

  settings_.brightness = 0x7FFFFFF0;  // far beyond the bar
  dialog.Scroll(kBrightnessBar, SB_LINELEFT);
  EXPECT_EQ(settings_.brightness, 100);
}

TEST_F(SettingsPageTest, OnlyAReleasedThumbMovesABar) {
  FakeDialog& dialog = Open();
  for (WORD request : {SB_THUMBTRACK, SB_PAGELEFT, SB_PAGERIGHT, SB_LEFT, SB_RIGHT, SB_ENDSCROLL})
    dialog.Scroll(kSharpnessBar, request, 3);
  dialog.Scroll(kShowConfig, SB_THUMBPOSITION, 1);  // no bar
  EXPECT_EQ(settings_.adjustmentWrites, 0);
  EXPECT_EQ(dialog.State(kSharpnessBar).position, 0);

  dialog.Scroll(kSharpnessBar, SB_THUMBPOSITION, 7);
  EXPECT_EQ(dialog.State(kSharpnessBar).position, 4);
  EXPECT_EQ(settings_.sharpness, 4);
  EXPECT_EQ(settings_.sharpnessPosition, 4);
  dialog.Scroll(kBrightnessBar, SB_THUMBPOSITION, 30);
  EXPECT_EQ(settings_.brightness, -70);
  EXPECT_EQ(settings_.brightnessPosition, 30);
}

TEST_F(SettingsPageTest, DefaultSettingResetsTheAdjustmentsOnly) {
  settings_.showSmooth = 1;
  settings_.sharpness = 3, settings_.sharpnessPosition = 3, settings_.brightness = -40, settings_.brightnessPosition = 60;
  settings_.smooth = 10, settings_.smoothPosition = 10, settings_.contrast = 5, settings_.contrastPosition = 55;
  settings_.reserved = 7;
  FakeDialog* dialog = &Open();
  settings_.showSmooth = 0, settings_.showBrightness = 1;  // switched by another client of the filter
  EXPECT_EQ(dialog->Click(kDefaultSetting), 1);
  for (LONG value : {settings_.sharpness, settings_.brightness, settings_.smooth, settings_.contrast})
    EXPECT_EQ(value, 0);
  EXPECT_EQ(settings_.reserved, 7);
  EXPECT_EQ(settings_.showBrightness, 1);
  EXPECT_FALSE(dialog->State(kSharpnessBar).enabled);
  EXPECT_FALSE(dialog->State(kSmoothBar).enabled);
  EXPECT_TRUE(dialog->State(kBrightnessBar).enabled);
  EXPECT_TRUE(dialog->State(kContrastBar).enabled);

  dialog = &Reopen();
  const int bars[] = {kSharpnessBar, kBrightnessBar, kSmoothBar, kContrastBar}, positions[] = {0, 100, 0, 50};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog->State(bars[i]).position, positions[i]) << bars[i];
}

// ---- Buttons ---------------------------------------------------------------------------

TEST_F(SettingsPageTest, ButtonsChangeTheFilterSettings) {
  settings_.option = {2, 6, 0, 2, 2};
  FakeDialog& dialog = Open();
  const struct {
    int box;
    LONG* setting;
  } switches[] = {{kShowTime, &settings_.showTime},   {kShowBytesPerSecond, &settings_.showBps},
                  {kShowActivity, &settings_.showActivity}, {kShowFramesPerSecond, &settings_.showFps},
                  {kMuteAll, &settings_.mute}, {kShowSettings2, &settings_.showBrightness}};
  for (const auto& box : switches) {
    EXPECT_EQ(dialog.Click(box.box), 1);
    EXPECT_EQ(*box.setting, 1) << box.box;
    dialog.Click(box.box);
    EXPECT_EQ(*box.setting, 0) << box.box;
  }
  dialog.Click(kShowSettings1);
  EXPECT_EQ(settings_.showSmooth, 1);
  EXPECT_TRUE(dialog.State(kSharpnessBar).enabled);
  EXPECT_TRUE(dialog.State(kSmoothBar).enabled);
  EXPECT_FALSE(dialog.State(kContrastBar).enabled);

  dialog.Click(kSubtitles + 1);
  EXPECT_EQ(settings_.option[1], 4);
  dialog.Click(kSubtitles + 2);
  EXPECT_EQ(settings_.option[2], 2);

  dialog.Click(kCamera + 3);
  EXPECT_EQ(settings_.activeCamera, 3);
  dialog.Click(kShowAllCameras);
  EXPECT_EQ(settings_.activeCamera, -1);
  dialog.Click(kChannel + 2);
  EXPECT_EQ(settings_.activeAudio, 2);
}

TEST_F(SettingsPageTest, ShowConfigShowsTheReportOverThePage) {
  settings_.configReport = "Device: DVR-7\r\n" + std::string(3000, 'r');
  FakeDialog& dialog = Open();
  dialog.userOfModal = [](FakeDialog& modal) {
    EXPECT_EQ(modal.State(config_control::kReportText).text, "Device: DVR-7\r\n" + std::string(1008, 'r'));
    EXPECT_EQ(modal.Send(WM_USER, 0, 0), FALSE);
    EXPECT_EQ(modal.Command(config_control::kOk, BN_CLICKED), TRUE);
  };
  EXPECT_EQ(dialog.Click(kShowConfig), 1);
  EXPECT_EQ(dialog.modalTemplate, kConfigDialogId);
  EXPECT_EQ(dialog.modalResult, 1);

  dialog.userOfModal = [](FakeDialog& modal) { modal.Command(IDCANCEL, BN_CLICKED); };
  dialog.Click(kShowConfig);
  EXPECT_EQ(dialog.modalResult, 0);
}

// The page's own side: messages count only while it is active.
TEST(SettingsPageStateTest, MessagesCountOnlyWhileThePageIsActive) {
  struct EchoToPage final : DialogHandler {
    INT_PTR OnDialogMessage(Dialog&, UINT message, WPARAM wParam, LPARAM lParam) override {
      return page.ReceiveMessage(message, wParam, lParam);
    }
    SettingsPage page;
  } echo;
  FakeSplitterSettings settings;
  FakeDialog dialog(*FindDialogTemplate(kPageDialogId), echo);
  dialog.SetCheck(kMuteAll, true);
  EXPECT_EQ(dialog.Command(kMuteAll, BN_CLICKED), 0);
  ASSERT_EQ(echo.page.ConnectFilter(&settings), S_OK);
  EXPECT_EQ(dialog.Command(kMuteAll, BN_CLICKED), 0);
  EXPECT_EQ(dialog.Send(WM_DESTROY, 0, 0), 0);
  EXPECT_EQ(settings.mute, 0);

  echo.page.ActivatePage(dialog);
  dialog.SetCheck(kMuteAll, true);
  EXPECT_EQ(dialog.Command(kMuteAll, 5), 1);  // a notification other than a click
  EXPECT_EQ(settings.mute, 0);
  EXPECT_EQ(dialog.Command(kMuteAll, BN_CLICKED), 1);
  EXPECT_EQ(settings.mute, 1);
  EXPECT_EQ(dialog.Send(WM_DESTROY, 0, 0), 1);
  EXPECT_EQ(dialog.Send(WM_USER + 100, 0, 0), 1);
  EXPECT_EQ(dialog.Send(WM_USER + 101, 0, 0), 0);

  echo.page.DeactivatePage();
  EXPECT_EQ(settings.saves, 1);
  dialog.SetCheck(kMuteAll, false);
  EXPECT_EQ(dialog.Command(kMuteAll, BN_CLICKED), 0);
  EXPECT_EQ(settings.mute, 1);
  EXPECT_EQ(echo.page.DisconnectFilter(), S_OK);
}

// The page on the module's own filter before it has been given a location.
TEST_F(SettingsPageTest, ShowsTheModuleFilterBeforeAnyRecording) {
  ComPtr<IUnknown> filter;
  ASSERT_EQ(FactoryFor(CLSID_SplitterFilter)->CreateInstance(nullptr, IID_IUnknown, Out(filter)), S_OK);
  ASSERT_EQ(Connect(filter.Get()), S_OK);
  ASSERT_EQ(page_->Activate(kParent, &kPlace, FALSE), S_OK);
  FakeDialog& dialog = *system_.open;
  EXPECT_EQ(dialog.State(kDeviceGroup).text, "Device name: ");
  EXPECT_EQ(dialog.State(kStartTime).text, "unavail(live source)");
  EXPECT_EQ(dialog.State(kEndTime).text, "unavail(live source)");
  EXPECT_FALSE(dialog.State(kMuteAll).enabled);
  dialog.userOfModal = [](FakeDialog& modal) {
    EXPECT_NE(modal.State(config_control::kReportText).text.find("Config was not received yet"), std::string::npos);
  };
  dialog.Click(kShowConfig);
  EXPECT_EQ(page_->Deactivate(), S_OK);
  EXPECT_EQ(page_->SetObjects(0, nullptr), S_OK);
}

}  // namespace
}  // namespace vesk::settings::testing
