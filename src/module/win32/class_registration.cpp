#include "module/win32/class_registration.h"

#include <string>
#include <vector>

#include "module/factory_table.h"
#include "module/win32/movie_setup.h"
#include "vesk/com_ptr.h"

namespace vesk::module {
namespace {

// The mapper's answer when there is nothing to remove.
constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

HRESULT FromRegistry(LONG result) { return result == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(result); }

std::wstring ClassKey(const FactoryEntry& entry) {
  wchar_t guid[40];
  StringFromGUID2(*entry.classId, guid, 40);
  return std::wstring(L"CLSID\\") + guid;
}

HRESULT SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  return FromRegistry(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

// "CLSID\{class id}" named after the class, with InprocServer32 naming the
// module and the threading model "Both".
HRESULT WriteClassKeys(const FactoryEntry& entry, const std::wstring& modulePath) {
  HKEY classKey = nullptr;
  HRESULT hr = FromRegistry(RegCreateKeyExW(HKEY_CLASSES_ROOT, ClassKey(entry).c_str(), 0, nullptr, 0, KEY_WRITE,
                                            nullptr, &classKey, nullptr));
  if (FAILED(hr)) return hr;
  hr = SetString(classKey, nullptr, entry.name);
  HKEY serverKey = nullptr;
  if (SUCCEEDED(hr))
    hr = FromRegistry(
        RegCreateKeyExW(classKey, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &serverKey, nullptr));
  if (SUCCEEDED(hr)) {
    hr = SetString(serverKey, nullptr, modulePath);
    if (SUCCEEDED(hr)) hr = SetString(serverKey, L"ThreadingModel", L"Both");
    RegCloseKey(serverKey);
  }
  RegCloseKey(classKey);
  return hr;
}

// The filter's setup data, made from its factory entry: pins and media types
// in the mapper's version-1 layout.
class FilterSetup {
 public:
  explicit FilterSetup(const FactoryEntry& entry) {
    const FilterRegistration& filter = *entry.filter;
    types_.reserve(filter.pinCount);
    for (std::size_t i = 0; i < filter.pinCount; ++i) {
      const PinRegistration& pin = filter.pins[i];
      types_.push_back({&pin.majorType, &GUID_NULL});
      pins_.push_back({const_cast<LPWSTR>(pin.name), pin.rendered, pin.output, pin.zeroInstancesAllowed,
                       pin.manyInstances, &CLSID_NULL, pin.connectsToPin, 1, &types_.back()});
    }
    setup_ = {entry.classId, entry.name, filter.merit, static_cast<UINT>(pins_.size()), pins_.data()};
  }
  FilterSetup(const FilterSetup&) = delete;  // the records point into the vectors
  FilterSetup& operator=(const FilterSetup&) = delete;
  const AMOVIESETUP_FILTER& setup() const { return setup_; }

 private:
  std::vector<AMOVIESETUP_MEDIATYPE> types_;
  std::vector<AMOVIESETUP_PIN> pins_;
  AMOVIESETUP_FILTER setup_{};
};

HRESULT Tolerated(HRESULT hr) { return hr == kNotFound ? S_OK : hr; }

HRESULT RegisterWithMapper2(IFilterMapper2& mapper, const AMOVIESETUP_FILTER& setup, bool registering) {
  const HRESULT removed = Tolerated(mapper.UnregisterFilter(nullptr, nullptr, *setup.clsID));
  if (!registering) return removed;
  REGFILTER2 record{};
  record.dwVersion = 1;
  record.dwMerit = setup.dwMerit;
  record.cPins = setup.nPins;
  record.rgPins = setup.lpPin;
  return Tolerated(mapper.RegisterFilter(*setup.clsID, setup.strName, nullptr, nullptr, nullptr, &record));
}

HRESULT RegisterWithMapper(IFilterMapper& mapper, const AMOVIESETUP_FILTER& setup, bool registering) {
  HRESULT hr = Tolerated(mapper.UnregisterFilter(*setup.clsID));
  if (!registering) return hr;
  hr = Tolerated(mapper.RegisterFilter(*setup.clsID, setup.strName, setup.dwMerit));
  for (UINT p = 0; SUCCEEDED(hr) && p < setup.nPins; ++p) {
    const AMOVIESETUP_PIN& pin = setup.lpPin[p];
    hr = Tolerated(mapper.RegisterPin(*setup.clsID, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                      *pin.clsConnectsToFilter, pin.strConnectsToPin));
    for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; ++t)
      hr = Tolerated(mapper.RegisterPinType(*setup.clsID, pin.strName, *pin.lpMediaType[t].clsMajorType,
                                            *pin.lpMediaType[t].clsMinorType));
  }
  return hr;
}

// The filter mapper's record of every filter in the table: IFilterMapper2, or
// the older IFilterMapper where that cannot be had.
HRESULT UpdateMapper(bool registering) {
  const HRESULT initialised = CoInitialize(nullptr);
  ComPtr<IFilterMapper2> mapper2;
  ComPtr<IFilterMapper> mapper;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                reinterpret_cast<void**>(mapper2.GetAddressOf()));
  if (FAILED(hr))
    hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                          reinterpret_cast<void**>(mapper.GetAddressOf()));
  for (std::size_t i = 0; SUCCEEDED(hr) && i < FactoryEntryCount(); ++i) {
    const FactoryEntry& entry = FactoryEntries()[i];
    if (!entry.filter) continue;
    const FilterSetup setup(entry);
    hr = mapper2 ? RegisterWithMapper2(*mapper2, setup.setup(), registering)
                 : RegisterWithMapper(*mapper, setup.setup(), registering);
  }
  mapper2.Reset();
  mapper.Reset();
  CoFreeUnusedLibraries();
  if (SUCCEEDED(initialised)) CoUninitialize();
  return hr;
}

HRESULT Update(HMODULE module, bool registering) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
  wchar_t widePath[MAX_PATH];
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, path, static_cast<int>(length), widePath, MAX_PATH);
  const std::wstring modulePath(widePath, wideLength > 0 ? wideLength : 0);

  for (std::size_t i = 0; registering && i < FactoryEntryCount(); ++i) {
    const HRESULT hr = WriteClassKeys(FactoryEntries()[i], modulePath);
    if (FAILED(hr)) return hr;
  }
  const HRESULT hr = UpdateMapper(registering);
  if (FAILED(hr) || registering) return hr;
  for (std::size_t i = 0; i < FactoryEntryCount(); ++i)
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(FactoryEntries()[i]).c_str());
  return S_OK;
}

}  // namespace

HRESULT RegisterModule(HMODULE module) { return Update(module, true); }
HRESULT UnregisterModule(HMODULE module) { return Update(module, false); }

}  // namespace vesk::module
