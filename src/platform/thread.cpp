#include "platform/thread.h"

#include <system_error>

namespace vesk::platform {

HRESULT Thread::Start(std::function<void()> body) {
  if (thread_.joinable()) return E_UNEXPECTED;
  try {
    thread_ = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return E_FAIL;
  }
  return S_OK;
}

void Thread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace vesk::platform
