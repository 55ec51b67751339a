#include "platform/critical_section.h"

#include <mutex>

namespace vesk::platform {

struct CriticalSection::Native {
  std::recursive_mutex mutex;
};

CriticalSection::CriticalSection() : native_(std::make_unique<Native>()) {}
CriticalSection::~CriticalSection() = default;
void CriticalSection::Enter() { native_->mutex.lock(); }
void CriticalSection::Leave() { native_->mutex.unlock(); }

}  // namespace vesk::platform
