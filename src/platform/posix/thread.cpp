#include "platform/thread.h"

#include <system_error>
#include <thread>

namespace vesk::platform {

struct Thread::Native {
  std::thread thread;
};

Thread::Thread() : native_(std::make_unique<Native>()) {}
Thread::~Thread() { Join(); }

HRESULT Thread::Start(std::function<void()> body) {
  if (native_->thread.joinable()) return E_UNEXPECTED;
  try {
    native_->thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return E_FAIL;
  }
  return S_OK;
}

void Thread::Join() {
  if (native_->thread.joinable()) native_->thread.join();
}

bool Thread::Joinable() const { return native_->thread.joinable(); }

}  // namespace vesk::platform
