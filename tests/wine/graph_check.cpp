// Plays the registered module in the system's own filter graph, as any
// DirectShow host would: the filter made by class id, "Audio" and
// "VideoOutput0" each connected to a Sample Grabber followed by a Null
// Renderer, and the end awaited through EC_COMPLETE. What the grabbers saw is
// written to a folder for scripts/check-wine.sh to hold against the Linux
// player's output.
//
//   graph-check play LOCATION OUT      the whole recording (a file or an http:// URL)
//   graph-check seek FILE SECONDS OUT  seeks while paused, plays from there into OUT,
//                                      then seeks again while running
//
// OUT receives audio.pcm (every byte the audio grabber saw), picture.bmp (the
// last picture), drawn.bmp (every pixel drawn in any picture: the pictures
// OR-ed together), and for a file config-report.txt; standard output gets one
// "name: value" line per figure. Every wait has a time limit; the exit code is
// 0 only when every step succeeded.
#include <windows.h>
#include <dshow.h>
#include <initguid.h>
#include <qedit.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "check_report.h"
#include "vesk/com_ptr.h"
#include "vesk/splitter_settings.h"

namespace {

using vesk::ComPtr;
using namespace wine_check;

// The Sample Grabber and the Null Renderer, as qedit registers them.
const CLSID kSampleGrabber = {0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const CLSID kNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

constexpr LONG kCompletionTimeoutMs = 60000;
constexpr LONGLONG kUnitsPerSecond = 10000000;

// Keeps what one grabber saw: the bytes of every sample, or only the count
// and the last sample that had any.
class SampleCollector final : public ISampleGrabberCB {
 public:
  explicit SampleCollector(bool keepAll) : keepAll_(keepAll) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
      *object = static_cast<ISampleGrabberCB*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the stack of the check, longer than the graph that calls it.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return S_OK;
    LONG length = sample->GetActualDataLength();
    std::lock_guard hold(lock_);
    ++count_;
    // The module's own allocator hands out samples of length 0 and the video
    // pin sets none: counted, and the whole buffer taken as the picture.
    if (length == 0 && !keepAll_) {
      ++withoutLength_;
      length = sample->GetSize();
    }
    if (keepAll_) {
      bytes_.insert(bytes_.end(), data, data + length);
    } else if (length > 0) {
      bytes_.assign(data, data + length);
      // Every byte ever drawn: what the pictures showed at any time.
      drawn_.resize(bytes_.size());
      for (size_t i = 0; i < bytes_.size(); ++i) drawn_[i] |= bytes_[i];
    }
    return S_OK;
  }
  STDMETHODIMP BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }

  void Clear() {
    std::lock_guard hold(lock_);
    count_ = withoutLength_ = 0;
    bytes_.clear();
    drawn_.clear();
  }
  long Count() {
    std::lock_guard hold(lock_);
    return count_;
  }
  long WithoutLength() {
    std::lock_guard hold(lock_);
    return withoutLength_;
  }
  std::vector<BYTE> Bytes() {
    std::lock_guard hold(lock_);
    return bytes_;
  }
  std::vector<BYTE> Drawn() {
    std::lock_guard hold(lock_);
    return drawn_;
  }

 private:
  const bool keepAll_;
  std::mutex lock_;  // guards the fields below: samples arrive on the graph's streaming thread
  long count_ = 0;
  long withoutLength_ = 0;
  std::vector<BYTE> bytes_;
  std::vector<BYTE> drawn_;
};

bool WriteFile(const std::string& path, const void* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

// A 32-bit bottom-up BMP of the picture the video grabber saw last.
bool WriteBitmap(const std::string& path, const std::vector<BYTE>& pixels, LONG width, LONG height) {
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biSizeImage = static_cast<DWORD>(pixels.size());
  std::vector<BYTE> whole(reinterpret_cast<BYTE*>(&file), reinterpret_cast<BYTE*>(&file) + sizeof file);
  whole.insert(whole.end(), reinterpret_cast<BYTE*>(&info), reinterpret_cast<BYTE*>(&info) + sizeof info);
  whole.insert(whole.end(), pixels.begin(), pixels.end());
  return WriteFile(path, whole.data(), whole.size());
}

ComPtr<IPin> FindPin(IBaseFilter* filter, const wchar_t* name) {
  ComPtr<IPin> pin;
  Check(filter->FindPin(name, pin.GetAddressOf()), "FindPin");
  return pin;
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.GetAddressOf()))) return {};
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.GetAddressOf(), nullptr) == S_OK) {
    PIN_DIRECTION direction;
    if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted) return pin;
  }
  return {};
}

// The module's filter in a graph of the system's, each output pin feeding a
// Sample Grabber and a Null Renderer.
class GraphSession {
 public:
  // Makes the graph and the filter and loads `location`; the pins are not connected yet.
  bool Load(const std::wstring& location) {
    if (FAILED(Check(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                      reinterpret_cast<void**>(graph_.GetAddressOf())),
                     "CoCreateInstance(CLSID_FilterGraph)")))
      return false;
    if (FAILED(Check(CoCreateInstance(CLSID_SplitterFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      reinterpret_cast<void**>(source_.GetAddressOf())),
                     "CoCreateInstance(CLSID_SplitterFilter)")))
      return false;
    if (FAILED(Check(graph_->AddFilter(source_.Get(), L"VESK source"), "AddFilter(source)"))) return false;
    ComPtr<IFileSourceFilter> file;
    if (FAILED(Check(source_->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(file.GetAddressOf())),
                     "IFileSourceFilter")) ||
        FAILED(Check(file->Load(location.c_str(), nullptr), "Load")))
      return false;
    return SUCCEEDED(Check(
        source_->QueryInterface(IID_ISplitterSettings, reinterpret_cast<void**>(settings_.GetAddressOf())),
        "ISplitterSettings"));
  }

  // Connects each output pin to a grabber and a renderer.
  bool Connect() {
    // The Linux player's pictures carry no texts unless asked: the same here.
    LONG off = 0;
    settings_->ShowTimeOp(vesk::OptionWrite, &off);
    if (!ConnectPin(L"Audio", MEDIATYPE_Audio, audio_) || !ConnectPin(L"VideoOutput0", MEDIATYPE_Video, video_))
      return false;
    // Samples go as fast as the grabbers take them, as in the Linux player.
    ComPtr<IMediaFilter> timing;
    if (SUCCEEDED(graph_->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(timing.GetAddressOf()))))
      timing->SetSyncSource(nullptr);
    return SUCCEEDED(Check(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(control_.GetAddressOf())),
                           "IMediaControl")) &&
           SUCCEEDED(Check(graph_->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(events_.GetAddressOf())),
                           "IMediaEvent"));
  }

  // Runs (S_FALSE: still starting) and waits for EC_COMPLETE.
  bool RunToCompletion() {
    const HRESULT hr = Check(control_->Run(), "Run");
    if (FAILED(hr)) return false;
    std::printf("run: %s\n", hr == S_FALSE ? "S_FALSE" : "S_OK");
    return WaitForCompletion();
  }

  bool WaitForCompletion() {
    LONG code = 0;
    if (FAILED(Check(events_->WaitForCompletion(kCompletionTimeoutMs, &code), "WaitForCompletion"))) return false;
    if (code != EC_COMPLETE) {
      Fail("the graph ended with event " + std::to_string(code) + ", not EC_COMPLETE");
      return false;
    }
    return true;
  }

  void Stop() { Check(control_->Stop(), "Stop"); }

  // Writes what the grabbers saw into `folder`.
  void Report(const std::string& folder) {
    const std::vector<BYTE> audio = audioCollector_.Bytes();
    std::printf("audio samples: %ld\naudio bytes: %zu\nvideo samples: %ld\nvideo samples without a length: %ld\n",
                audioCollector_.Count(), audio.size(), videoCollector_.Count(), videoCollector_.WithoutLength());
    if (!WriteFile(folder + "\\audio.pcm", audio.data(), audio.size())) Check(E_FAIL, "writing audio.pcm");
    AM_MEDIA_TYPE type{};
    if (SUCCEEDED(video_.grabber->GetConnectedMediaType(&type)) && type.formattype == FORMAT_VideoInfo) {
      const auto* format = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
      std::printf("video format: %ldx%ld, %u bits\n", format->bmiHeader.biWidth, format->bmiHeader.biHeight,
                  format->bmiHeader.biBitCount);
      const LONG width = format->bmiHeader.biWidth;
      const LONG height = format->bmiHeader.biHeight;
      if (!WriteBitmap(folder + "\\picture.bmp", videoCollector_.Bytes(), width, height) ||
          !WriteBitmap(folder + "\\drawn.bmp", videoCollector_.Drawn(), width, height))
        Check(E_FAIL, "writing the pictures");
      CoTaskMemFree(type.pbFormat);
      if (type.pUnk) type.pUnk->Release();
    }
  }

  void WriteConfigReport(const std::string& folder) {
    std::vector<char> report(65536);
    settings_->GetConfigReport(report.data(), static_cast<DWORD>(report.size()));
    if (!WriteFile(folder + "\\config-report.txt", report.data(), std::strlen(report.data())))
      Check(E_FAIL, "writing config-report.txt");
  }

  void ClearCollected() {
    audioCollector_.Clear();
    videoCollector_.Clear();
  }

  IMediaControl& control() { return *control_; }
  IBaseFilter& source() { return *source_; }

 private:
  struct Branch {
    ComPtr<IBaseFilter> grabberFilter;
    ComPtr<ISampleGrabber> grabber;
    ComPtr<IBaseFilter> renderer;
  };

  bool ConnectPin(const wchar_t* pinName, const GUID& majorType, Branch& branch) {
    SampleCollector& collector = majorType == MEDIATYPE_Audio ? audioCollector_ : videoCollector_;
    if (FAILED(Check(CoCreateInstance(kSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      reinterpret_cast<void**>(branch.grabberFilter.GetAddressOf())),
                     "CoCreateInstance(Sample Grabber)")) ||
        FAILED(Check(CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      reinterpret_cast<void**>(branch.renderer.GetAddressOf())),
                     "CoCreateInstance(Null Renderer)")))
      return false;
    branch.grabberFilter->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(branch.grabber.GetAddressOf()));
    AM_MEDIA_TYPE wanted{};
    wanted.majortype = majorType;
    branch.grabber->SetMediaType(&wanted);
    branch.grabber->SetBufferSamples(FALSE);
    branch.grabber->SetOneShot(FALSE);
    branch.grabber->SetCallback(&collector, 0);
    const std::wstring name(pinName);
    graph_->AddFilter(branch.grabberFilter.Get(), (name + L" grabber").c_str());
    graph_->AddFilter(branch.renderer.Get(), (name + L" renderer").c_str());
    ComPtr<IPin> output = FindPin(source_.Get(), pinName);
    ComPtr<IPin> grabberIn = FirstPin(branch.grabberFilter.Get(), PINDIR_INPUT);
    ComPtr<IPin> grabberOut = FirstPin(branch.grabberFilter.Get(), PINDIR_OUTPUT);
    ComPtr<IPin> rendererIn = FirstPin(branch.renderer.Get(), PINDIR_INPUT);
    if (!output || !grabberIn || !grabberOut || !rendererIn) return false;
    return SUCCEEDED(Check(graph_->ConnectDirect(output.Get(), grabberIn.Get(), nullptr), "ConnectDirect(pin, grabber)")) &&
           SUCCEEDED(Check(graph_->ConnectDirect(grabberOut.Get(), rendererIn.Get(), nullptr),
                           "ConnectDirect(grabber, renderer)"));
  }

  // Declared first, destroyed last: the graph calls them until it is released.
  SampleCollector audioCollector_{true};
  SampleCollector videoCollector_{false};
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> source_;
  ComPtr<ISplitterSettings> settings_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEvent> events_;
  Branch audio_;
  Branch video_;
};

void Play(const char* location, const std::string& folder) {
  GraphSession session;
  if (!session.Load(Wide(location))) return;
  // Before the pins connect, as the Linux player prints it.
  if (std::strncmp(location, "http://", 7) != 0) session.WriteConfigReport(folder);
  if (!session.Connect()) return;
  if (session.RunToCompletion()) session.Report(folder);
  session.Stop();
}

// Seeks to `seconds` while paused and plays from there; then seeks there
// again while running and plays to the end once more.
void Seek(const char* file, double seconds, const std::string& folder) {
  GraphSession session;
  if (!session.Load(Wide(file)) || !session.Connect()) return;
  ComPtr<IMediaSeeking> seeking;
  if (FAILED(Check(session.source().QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(seeking.GetAddressOf())),
                   "IMediaSeeking")))
    return;
  LONGLONG duration = 0;
  Check(seeking->GetDuration(&duration), "GetDuration");
  std::printf("duration: %lld\n", static_cast<long long>(duration));

  LONGLONG target = static_cast<LONGLONG>(seconds * kUnitsPerSecond);
  Check(session.control().Pause(), "Pause");
  OAFilterState state;
  Check(session.control().GetState(5000, &state), "GetState");
  Check(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning),
        "SetPositions while paused");
  session.ClearCollected();
  if (!session.RunToCompletion()) return;
  session.Report(folder);

  // Running again from the end, then seeking while running: the flow restarts there.
  session.ClearCollected();
  Check(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning),
        "SetPositions while running");
  if (!session.WaitForCompletion()) return;
  LONGLONG current = 0;
  Check(seeking->GetCurrentPosition(&current), "GetCurrentPosition");
  std::printf("position after the running seek: %lld\n", static_cast<long long>(current));
  session.Stop();
}

// The module may go once the graph and everything it made are released.
void CheckUnload() {
  HMODULE module = GetModuleHandleA("RAVIroRa.DLL");
  if (!module) {
    Check(E_FAIL, "finding the loaded module");
    return;
  }
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  const HRESULT hr = canUnload ? canUnload() : E_FAIL;
  std::printf("DllCanUnloadNow: %s\n", hr == S_OK ? "S_OK" : hr == S_FALSE ? "S_FALSE" : "failed");
  if (hr != S_OK) failed = true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (!((command == "play" && argc == 4) || (command == "seek" && argc == 5))) {
    std::fprintf(stderr, "usage: graph-check play LOCATION OUT | seek FILE SECONDS OUT\n");
    return 2;
  }
  if (FAILED(Check(CoInitializeEx(nullptr, COINIT_MULTITHREADED), "CoInitializeEx"))) return 1;
  if (command == "play")
    Play(argv[2], argv[3]);
  else
    Seek(argv[2], std::atof(argv[3]), argv[4]);
  CheckUnload();
  CoUninitialize();
  std::fflush(stdout);
  return failed ? 1 : 0;
}
