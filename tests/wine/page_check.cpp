// Checks the module's property page as a Windows user meets it:
//
//   page-check resources DLL         the DLL's dialog templates, page title and version
//                                    resource, read back and held against the page's data
//   page-check frame RECORDING OUT   the page in the system's property frame, driven from a
//                                    second thread with window messages as a user's clicks
//                                    make them; then the filter's settings and the values
//                                    saved under HKEY_CURRENT_USER
//
// In frame mode, whoever runs the check takes the screenshots: for each of
// "page" and "config" the check creates OUT\NAME.ready once the window shows,
// and goes on when OUT\NAME.taken appears. Every wait has a time limit;
// standard output gets one "name: value" line per figure and a "FAILED:"
// line per fault, and the exit code is 0 only when nothing failed.
#include <windows.h>
#include <dshow.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "check_report.h"
#include "settings/dialog_templates.h"
#include "win32_dialog_styles.h"
#include "vesk/com_ptr.h"
#include "vesk/splitter_settings.h"

namespace {

using namespace vesk::settings;
using vesk::ComPtr;
using namespace wine_check;
using wine_check::Wide;

template <typename T>
void Expect(const std::string& what, const T& actual, const T& expected) {
  if (!(actual == expected)) Fail(what + " differs");
}

std::wstring Wide(const char16_t* text) { return std::wstring(text, text + std::char_traits<char16_t>::length(text)); }

// ---- resources ------------------------------------------------------------------------

// Reads a DLGTEMPLATE and its items.
class TemplateReader {
 public:
  TemplateReader(const BYTE* data, DWORD size) : begin_(data), at_(data), end_(data + size) {}

  bool Ok() const { return ok_; }
  WORD Word() { return static_cast<WORD>(Take(2)); }
  DWORD Dword() { return Take(4); }
  // A name or ordinal: the ordinal written as "#N".
  std::wstring NameOrOrdinal() {
    const WORD first = Word();
    if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
    std::wstring text;
    for (WORD c = first; c != 0 && ok_; c = Word()) text += static_cast<wchar_t>(c);
    return text;
  }
  void AlignToDword() {
    while ((at_ - begin_) % 4 != 0) Take(1);
  }

 private:
  DWORD Take(int bytes) {
    if (end_ - at_ < bytes) {
      ok_ = false;
      return 0;
    }
    DWORD value = 0;
    for (int i = 0; i < bytes; ++i) value |= DWORD{at_[i]} << (8 * i);
    at_ += bytes;
    return value;
  }

  const BYTE* begin_;
  const BYTE* at_;
  const BYTE* end_;
  bool ok_ = true;
};

// The compiled template `dialog.id`, in its language, against the data.
void CheckDialogResource(HMODULE module, const DialogTemplate& dialog) {
  const std::string name = "dialog " + std::to_string(dialog.id);
  constexpr WORD kDialogResource = 5;
  HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(kDialogResource), MAKEINTRESOURCEW(dialog.id),
                                static_cast<WORD>(dialog.language));
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  if (!data) return Fail(name + " in language " + std::to_string(dialog.language) + " is missing");
  TemplateReader in(data, SizeofResource(module, found));
  Expect(name + " style", in.Dword(), DWORD(win32_styles::DialogStyle(dialog).value));
  in.Dword();  // extended style
  const WORD count = in.Word();
  Expect(name + " item count", static_cast<size_t>(count), dialog.items.size());
  const short place[4] = {short(in.Word()), short(in.Word()), short(in.Word()), short(in.Word())};
  Expect(name + " size", std::vector<short>(place + 2, place + 4),
         std::vector<short>{short(dialog.width), short(dialog.height)});
  in.NameOrOrdinal();  // menu
  in.NameOrOrdinal();  // class
  Expect(name + " caption", in.NameOrOrdinal(), dialog.caption ? Wide(dialog.caption) : std::wstring());
  Expect(name + " font size", static_cast<int>(in.Word()), dialog.fontPoints);
  Expect(name + " font", in.NameOrOrdinal(), Wide(dialog.fontName));
  for (size_t i = 0; i < count && i < dialog.items.size() && in.Ok(); ++i) {
    const DialogItem& item = dialog.items[i];
    const std::string itemName = name + " item " + std::to_string(i + 1);
    in.AlignToDword();
    Expect(itemName + " style", in.Dword(), DWORD(win32_styles::ItemStyle(item).value));
    in.Dword();  // extended style
    std::vector<short> itemPlace;
    for (int j = 0; j < 4; ++j) itemPlace.push_back(static_cast<short>(in.Word()));
    Expect(itemName + " place", itemPlace,
           std::vector<short>{short(item.place.x), short(item.place.y), short(item.place.width),
                              short(item.place.height)});
    Expect(itemName + " ID", static_cast<short>(in.Word()), static_cast<short>(item.id));
    const std::wstring className = in.NameOrOrdinal();
    const win32_styles::WindowClass control = win32_styles::ClassOf(item.kind);
    if (className != Wide(control.name) && className != L"#" + std::to_wstring(control.atom))
      Fail(itemName + " class differs");
    Expect(itemName + " caption", in.NameOrOrdinal(), item.caption ? Wide(item.caption) : std::wstring());
    const WORD extra = in.Word();
    for (WORD j = 0; j < extra; ++j) in.Word();
  }
  if (!in.Ok()) Fail(name + " ends early");
}

std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length)) return L"(missing)";
  return std::wstring(static_cast<const wchar_t*>(value), length ? length - 1 : 0);
}

void CheckVersionResource(const std::wstring& path) {
  DWORD handle = 0;
  std::vector<BYTE> info(GetFileVersionInfoSizeW(path.c_str(), &handle));
  if (info.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()))
    return Fail("GetFileVersionInfo");
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)) return Fail("fixed file info");
  std::printf("file version: %d.%d.%d.%d\n", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  const std::vector<DWORD> version{fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                                   fixed->dwProductVersionLS};
  Expect("file and product version", version, std::vector<DWORD>{0x00050002, 0, 0x00050002, 0});
  Expect("file type", fixed->dwFileType, DWORD{VFT_DLL});
  Expect("operating system", fixed->dwFileOS, DWORD{VOS_NT_WINDOWS32});
  WORD* translation = nullptr;
  if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < 4)
    return Fail("translation");
  Expect("translation", std::vector<WORD>{translation[0], translation[1]}, std::vector<WORD>{0x0409, 1200});
  const std::pair<const wchar_t*, const wchar_t*> strings[] = {
      {L"FileVersion", L"5, 2, 0, 0"},        {L"ProductVersion", L"5, 2, 0, 0"},
      {L"FileDescription", L"VAD Uvuruz Arivoz"}, {L"InternalName", L"RAVIroRa"},
      {L"OriginalFilename", L"RAVIroRa.DLL"}, {L"OLESelfRegister", L"DXM20"},
      {L"CompanyName", L""},                  {L"ProductName", L""}};
  for (const auto& [name, expected] : strings) {
    const std::wstring value = VersionString(info, name);
    if (value != expected) Fail("version string " + std::string(name, name + wcslen(name)) + " differs");
  }
}

void Resources(const char* dll) {
  const std::wstring path = Wide(dll);
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return Fail("loading the DLL's resources");
  for (const int id : {kPageDialogId, kConfigDialogId}) CheckDialogResource(module, *FindDialogTemplate(id));
  wchar_t title[128] = {};
  LoadStringW(module, kPageTitleStringId, title, 128);
  std::printf("page title: %ls\n", title);
  Expect("page title", std::wstring(title), Wide(FindString(kPageTitleStringId)));
  FreeLibrary(module);
  CheckVersionResource(path);
}

// ---- the page in a property frame -----------------------------------------------------------

constexpr DWORD kWindowTimeoutMs = 20000;
constexpr DWORD kScreenshotTimeoutMs = 30000;
constexpr int kBrightnessSteps = 3;
constexpr LONG kShowStatusText = 2;
constexpr int kCamera2 = 1;

// Polls until `find` gives a window; nullptr after the time limit.
HWND WaitForWindow(const std::function<HWND()>& find, DWORD timeoutMs = kWindowTimeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = find()) return window;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(50);
  }
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  return WaitForWindow([&] { return done() ? GetDesktopWindow() : nullptr; }, timeoutMs) != nullptr;
}

// The first window that `enumerate` gives for `scope` (a thread's top-level
// windows, or a window's descendants) and `match` accepts.
template <typename Scope>
HWND FindAmong(BOOL(WINAPI* enumerate)(Scope, WNDENUMPROC, LPARAM), Scope scope,
               const std::function<bool(HWND)>& match) {
  struct Search {
    const std::function<bool(HWND)>& match;
    HWND found;
  } search{match, nullptr};
  enumerate(
      scope,
      [](HWND window, LPARAM context) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(context);
        if (!search.match(window)) return TRUE;
        search.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A visible top-level window of `thread` that `match` accepts.
HWND FindThreadWindow(DWORD thread, const std::function<bool(HWND)>& match) {
  return FindAmong(EnumThreadWindows, thread, [&](HWND window) { return IsWindowVisible(window) && match(window); });
}

// A window among `top`'s descendants with the control ID `id`.
HWND FindDescendant(HWND top, int id) {
  return FindAmong(EnumChildWindows, top, [&](HWND window) { return GetDlgCtrlID(window) == id; });
}

std::string WindowText(HWND window) {
  char text[2048] = {};
  DWORD_PTR length = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                      &length);
  return text;
}

// A message to a window of the frame's thread, answered within the time limit.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Lets the screenshot be taken of what is on the screen now.
bool Screenshot(HWND window, const std::string& folder, const char* name) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(500);  // for the X server to show what was drawn
  const std::string ready = folder + "\\" + name + ".ready";
  FILE* marker = std::fopen(ready.c_str(), "w");
  if (!marker) return false;
  std::fclose(marker);
  const std::string taken = folder + "\\" + name + ".taken";
  return WaitUntil([&] { return FileExists(taken); }, kScreenshotTimeoutMs);
}

// Plays the user from a thread of its own while the frame runs modally on
// `frameThread`: changes a setting of each kind, opens "Show config", reads
// and closes it, and presses OK. A step that fails closes the frame.
class PageUser {
 public:
  PageUser(DWORD frameThread, std::string folder, std::string report)
      : frameThread_(frameThread), folder_(std::move(folder)), report_(std::move(report)) {}

  void Run() {
    HWND page = nullptr;
    frame_ = WaitForWindow([&] {
      return FindThreadWindow(frameThread_, [&](HWND top) {
        HWND button = FindDescendant(top, page_control::kShowConfig);
        page = button ? GetParent(button) : nullptr;
        return page && IsWindowVisible(page);
      });
    });
    if (!frame_) {
      // Whatever the frame shows instead, closed so that the check ends.
      if (HWND shown = FindThreadWindow(frameThread_, [](HWND) { return true; })) PostMessageW(shown, WM_CLOSE, 0, 0);
      return Fail("no property frame with the page within the time limit");
    }
    page_ = page;
    std::printf("frame: %s\ndevice group: %s\nstart time: %s\n", WindowText(frame_).c_str(),
                WindowText(Control(page_control::kDeviceGroup)).c_str(),
                WindowText(Control(page_control::kStartTime)).c_str());
    if (!Screenshot(frame_, folder_, "page")) Fail("the page's screenshot was not taken");
    if (!TabIntoPage()) Fail("the Tab key never reaches the page's controls");
    if (!Click(page_control::kShowFramesPerSecond) || !Click(page_control::kShowSettings2) ||
        !Click(page_control::kMuteAll) || !Click(page_control::kFirstSubtitles) ||
        !Click(page_control::kFirstCamera + kCamera2) || !StepBrightness())
      return Close("a click on the page was not answered");
    ShowConfig();
    if (!PostMessageW(GetDlgItem(frame_, IDOK), BM_CLICK, 0, 0)) return Close("no OK button on the frame");
    if (!WaitUntil([&] { return !IsWindow(frame_); }, kWindowTimeoutMs)) return Close("OK did not close the frame");
  }

 private:
  HWND Control(int id) { return GetDlgItem(page_, id); }

  // A button's click, as the mouse makes it: the button changes its state and tells the page.
  bool Click(int id) {
    HWND button = Control(id);
    return button && IsWindowEnabled(button) && Send(button, BM_CLICK, 0, 0);
  }

  // The mouse on the bar's right arrow: the bar tells the page, if it takes input at all.
  bool StepBrightness() {
    HWND bar = Control(page_control::kBrightnessBar);
    RECT place{};
    if (!bar || !GetWindowRect(bar, &place)) return false;
    SetCursorPos(place.right - GetSystemMetrics(SM_CXHSCROLL) / 2, (place.top + place.bottom) / 2);
    for (int i = 0; i < kBrightnessSteps; ++i) {
      INPUT press[2] = {};
      press[0].type = press[1].type = INPUT_MOUSE;
      press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
      press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
      if (SendInput(2, press, sizeof(INPUT)) != 2 || !Send(page_, WM_NULL, 0, 0)) return false;
      Sleep(GetDoubleClickTime() + 100);  // single clicks, not a double click
    }
    return true;
  }

  // The frame's keyboard navigation: Tab, as the keyboard sends it to the
  // window with the focus, until the focus is on one of the page's controls.
  bool TabIntoPage() {
    constexpr int kPresses = 12;
    for (int i = 0; i < kPresses; ++i) {
      GUITHREADINFO focus{};
      focus.cbSize = sizeof focus;
      if (!GetGUIThreadInfo(frameThread_, &focus) || !focus.hwndFocus) return false;
      if (GetParent(focus.hwndFocus) == page_) {
        std::printf("Tab reaches the page's control %d\n", GetDlgCtrlID(focus.hwndFocus));
        return true;
      }
      PostMessageW(focus.hwndFocus, WM_KEYDOWN, VK_TAB, 0);
      PostMessageW(focus.hwndFocus, WM_KEYUP, VK_TAB, 0xC0000000);
      Send(frame_, WM_NULL, 0, 0);  // the posted keys are handled first
    }
    return false;
  }

  // "Show config" runs its dialog modally on the frame's thread: posted, not sent.
  void ShowConfig() {
    PostMessageW(Control(page_control::kShowConfig), BM_CLICK, 0, 0);
    const char* caption = FindDialogTemplate(kConfigDialogId)->caption;
    HWND config = WaitForWindow(
        [&] { return FindThreadWindow(frameThread_, [&](HWND top) { return WindowText(top) == caption; }); });
    if (!config) return Fail("\"Show config\" opened no dialog");
    const std::string shown = WindowText(GetDlgItem(config, config_control::kReportText));
    std::printf("configuration dialog: %zu characters\n", shown.size());
    if (shown != report_) Fail("the configuration dialog does not show the report");
    if (!Screenshot(config, folder_, "config")) Fail("the configuration dialog's screenshot was not taken");
    PostMessageW(GetDlgItem(config, config_control::kOk), BM_CLICK, 0, 0);
    if (!WaitUntil([&] { return !IsWindow(config); }, kWindowTimeoutMs)) Fail("OK did not close the configuration dialog");
  }

  void Close(const char* why) {
    Fail(why);
    PostMessageW(frame_, WM_CLOSE, 0, 0);
  }

  const DWORD frameThread_;
  const std::string folder_;
  const std::string report_;
  HWND frame_ = nullptr;
  HWND page_ = nullptr;
};

// The settings the user changes, as the filter holds them.
struct PageSettings {
  LONG showFps;
  LONG showBrightness;
  LONG mute;
  LONG camera0Option;
  LONG activeCamera;
  LONG brightness;
  LONG brightnessPosition;

  bool operator==(const PageSettings&) const = default;

  static PageSettings Read(ISplitterSettings& settings) {
    PageSettings read{};
    settings.ShowFpsOp(vesk::OptionRead, &read.showFps);
    settings.ShowBrightnessOp(vesk::OptionRead, &read.showBrightness);
    read.mute = settings.GetMute();
    settings.CameraOptionOp(0, vesk::OptionRead, &read.camera0Option);
    read.activeCamera = settings.GetActiveCamera();
    read.brightness = settings.GetBrightness();
    settings.BrightnessSliderOp(vesk::OptionRead, &read.brightnessPosition);
    return read;
  }

  void Write(ISplitterSettings& settings) const {
    PageSettings written = *this;
    settings.ShowFpsOp(vesk::OptionWrite, &written.showFps);
    settings.ShowBrightnessOp(vesk::OptionWrite, &written.showBrightness);
    settings.SetMute(mute);
    settings.CameraOptionOp(0, vesk::OptionWrite, &written.camera0Option);
    settings.SetActiveCamera(activeCamera);
    settings.SetBrightness(brightness);
    settings.BrightnessSliderOp(vesk::OptionWrite, &written.brightnessPosition);
  }
};

// Where the user starts, whatever an earlier run saved, and where the page's changes lead.
constexpr PageSettings kStart{0, 0, 0, kShowStatusText, -1, 0, 100};
constexpr PageSettings kChanged{1, 1, 1, 0, kCamera2, kBrightnessSteps, 100 + kBrightnessSteps};

constexpr const char* kSettingsKey = "Software\\Vesk\\Vesk";

LONG SavedValue(const char* name) {
  DWORD value = 0xDEADBEEF;
  DWORD size = sizeof value;
  RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return static_cast<LONG>(value);
}

void CheckChanges(const PageSettings& after) {
  std::printf("after the page: fps %ld, brightness switch %ld, mute %ld, camera 1 option %ld, camera %ld, "
              "brightness %ld at position %ld\n",
              after.showFps, after.showBrightness, after.mute, after.camera0Option, after.activeCamera,
              after.brightness, after.brightnessPosition);
  if (!(after == kChanged)) Fail("the filter's settings are not those the page set");
  const std::pair<const char*, LONG> saved[] = {{"bShowFPS", after.showFps},
                                                {"bShowBrightness", after.showBrightness},
                                                {"bMute", after.mute},
                                                {"subopt0", after.camera0Option},
                                                {"ActiveCamera", after.activeCamera}};
  for (const auto& [name, value] : saved) {
    std::printf("saved %s: %ld\n", name, SavedValue(name));
    Expect(std::string("saved ") + name, SavedValue(name), value);
  }
}

void Frame(const char* recording, const std::string& folder) {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IBaseFilter> filter;
  ComPtr<IFileSourceFilter> file;
  ComPtr<ISplitterSettings> settings;
  ComPtr<ISpecifyPropertyPages> pages;
  if (FAILED(Check(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                    reinterpret_cast<void**>(graph.GetAddressOf())),
                   "CoCreateInstance(CLSID_FilterGraph)")) ||
      FAILED(Check(CoCreateInstance(CLSID_SplitterFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    reinterpret_cast<void**>(filter.GetAddressOf())),
                   "CoCreateInstance(CLSID_SplitterFilter)")) ||
      FAILED(Check(graph->AddFilter(filter.Get(), L"VESK source"), "AddFilter")) ||
      FAILED(Check(filter->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(file.GetAddressOf())),
                   "IFileSourceFilter")) ||
      FAILED(Check(file->Load(Wide(recording).c_str(), nullptr), "Load")) ||
      FAILED(Check(filter->QueryInterface(IID_ISplitterSettings, reinterpret_cast<void**>(settings.GetAddressOf())),
                   "ISplitterSettings")) ||
      FAILED(Check(filter->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(pages.GetAddressOf())),
                   "ISpecifyPropertyPages")))
    return;
  std::vector<char> report(1024);
  settings->GetConfigReport(report.data(), static_cast<DWORD>(report.size()));
  report.back() = '\0';
  kStart.Write(*settings);
  // Whatever an earlier run saved goes: the values found afterwards are the page's.
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);

  CAUUID classes{};
  if (FAILED(Check(pages->GetPages(&classes), "GetPages"))) return;
  PageUser user(GetCurrentThreadId(), folder, report.data());
  std::thread userThread([&] { user.Run(); });
  IUnknown* objects[] = {filter.Get()};
  Check(OleCreatePropertyFrame(nullptr, 0, 0, L"VESK source", 1, objects, classes.cElems, classes.pElems, 0, 0,
                               nullptr),
        "OleCreatePropertyFrame");
  userThread.join();
  CoTaskMemFree(classes.pElems);
  CheckChanges(PageSettings::Read(*settings));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (!((command == "resources" && argc == 3) || (command == "frame" && argc == 4))) {
    std::fprintf(stderr, "usage: page-check resources DLL | frame RECORDING OUT\n");
    return 2;
  }
  if (FAILED(Check(CoInitialize(nullptr), "CoInitialize"))) return 1;
  if (command == "resources")
    Resources(argv[2]);
  else
    Frame(argv[2], argv[3]);
  CoUninitialize();
  std::fflush(stdout);
  return failed ? 1 : 0;
}
