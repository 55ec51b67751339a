#include "platform/critical_section.h"

#include <windows.h>

namespace vesk::platform {

struct CriticalSection::Native {
  Native() { InitializeCriticalSection(&section); }
  ~Native() { DeleteCriticalSection(&section); }
  CRITICAL_SECTION section;
};

CriticalSection::CriticalSection() : native_(std::make_unique<Native>()) {}
CriticalSection::~CriticalSection() = default;
void CriticalSection::Enter() { EnterCriticalSection(&native_->section); }
void CriticalSection::Leave() { LeaveCriticalSection(&native_->section); }

}  // namespace vesk::platform
