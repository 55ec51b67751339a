#include "apps/vesk-play/settings_call.h"

#include <cstdio>

namespace vesk::play {
namespace {

const char* Meaning(HRESULT result) {
  switch (result) {
    case E_NOTIMPL: return ": not implemented by this module";
    case E_INVALIDARG: return ": invalid argument";
    case E_POINTER: return ": missing pointer";
    case E_UNEXPECTED: return ": not possible now";
    case E_OUTOFMEMORY: return ": out of memory";
    default: return "";
  }
}

}  // namespace

bool CallSucceeded(const char* call, HRESULT result, std::string* error) {
  if (SUCCEEDED(result)) return true;
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
  *error = std::string("the module refused ") + call + " (" + code + Meaning(result) + ")";
  return false;
}

}  // namespace vesk::play
