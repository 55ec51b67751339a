// The classes the module serves: the source filter and its property page.
#pragma once

#include <cstddef>

#include "vesk/com.h"

namespace vesk::module {

struct PinRegistration {
  const WCHAR* name;
  bool rendered;
  bool output;
  bool zeroInstancesAllowed;
  bool manyInstances;
  const WCHAR* connectsToPin;  // nullptr: none
  GUID majorType;
};

struct FilterRegistration {
  DWORD merit;
  const PinRegistration* pins;
  std::size_t pinCount;
};

// Makes a new object without a reference taken; nullptr with the reason in `result`.
using CreateFunction = IUnknown* (*)(IUnknown* outer, HRESULT* result);

struct FactoryEntry {
  const WCHAR* name;
  const CLSID* classId;
  CreateFunction create;
  const FilterRegistration* filter;  // nullptr for classes the filter mapper does not list
};

const FactoryEntry* FactoryEntries();
std::size_t FactoryEntryCount();
const FactoryEntry* FindFactoryEntry(REFCLSID classId);

}  // namespace vesk::module
