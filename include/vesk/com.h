// COM basics shared by the module, its host and its clients.
//
// On Windows the SDK headers provide everything; elsewhere this header declares
// the same types with the same layout: interfaces are pure virtual structs
// without virtual destructors, so their vtables are the COM vtables, and GUID
// values are those of the platform.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <objbase.h>
#include <unknwn.h>
#else

#define STDMETHODCALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using LONGLONG = std::int64_t;
using REFERENCE_TIME = std::int64_t;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool operator==(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }

constexpr HRESULT MakeHresult(std::uint32_t value) { return static_cast<HRESULT>(value); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002u);
constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
constexpr HRESULT E_ABORT = MakeHresult(0x80004004u);
constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
constexpr HRESULT E_HANDLE = MakeHresult(0x80070006u);
constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111u);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110u);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// A system error code as an HRESULT: 0x8007 followed by the 16-bit code.
constexpr HRESULT HRESULT_FROM_WIN32(std::uint32_t code) {
  return code == 0 ? S_OK : MakeHresult(0x80070000u | (code & 0xFFFFu));
}

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
  STDMETHOD(QueryInterface)(REFIID riid, void** object) = 0;
  STDMETHOD_(ULONG, AddRef)() = 0;
  STDMETHOD_(ULONG, Release)() = 0;
};

struct IClassFactory : IUnknown {
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** object) = 0;
  STDMETHOD(LockServer)(BOOL lock) = 0;
};

#endif  // _WIN32

// DirectShow result codes the module returns.
#ifdef _WIN32
#include <vfwmsgs.h>
#else
constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
constexpr HRESULT VFW_S_CANT_CUE = 0x00040268;
constexpr HRESULT VFW_E_INVALID_DIRECTION = static_cast<HRESULT>(0x80040208u);
constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
constexpr HRESULT VFW_E_NO_ALLOCATOR = static_cast<HRESULT>(0x8004020Au);
constexpr HRESULT VFW_E_STATE_CHANGED = static_cast<HRESULT>(0x80040223u);
#endif

// A wide string literal of the platform's WCHAR: L"" on Windows, u"" elsewhere.
#ifdef _WIN32
#define VESK_WIDE(text) L##text
#else
#define VESK_WIDE(text) u##text
#endif

namespace vesk {

// The platform's wide string, as COM's LPWSTR points to it.
using WideString = std::basic_string<WCHAR>;

// Every COM object of the module counts itself here while it lives; together
// with the server lock count it tells DllCanUnloadNow whether the module may go.
class ModuleObjectCount {
 public:
  static void ObjectCreated() { count_.fetch_add(1, std::memory_order_relaxed); }
  static void ObjectDestroyed() { count_.fetch_sub(1, std::memory_order_acq_rel); }
  static long Active() { return count_.load(std::memory_order_acquire); }

 private:
  static inline std::atomic<long> count_{0};
};

}  // namespace vesk
