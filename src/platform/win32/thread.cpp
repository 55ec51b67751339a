#include "platform/thread.h"

#include <windows.h>

#include <new>

namespace vesk::platform {

struct Thread::Native {
  HANDLE handle = nullptr;
};

namespace {

DWORD WINAPI RunBody(void* parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

}  // namespace

Thread::Thread() : native_(std::make_unique<Native>()) {}
Thread::~Thread() { Join(); }

HRESULT Thread::Start(std::function<void()> body) {
  if (native_->handle) return E_UNEXPECTED;
  auto* owned = new (std::nothrow) std::function<void()>(std::move(body));
  if (!owned) return E_FAIL;
  native_->handle = CreateThread(nullptr, 0, RunBody, owned, 0, nullptr);
  if (!native_->handle) {
    delete owned;
    return E_FAIL;
  }
  return S_OK;
}

void Thread::Join() {
  if (!native_->handle) return;
  WaitForSingleObject(native_->handle, INFINITE);
  CloseHandle(native_->handle);
  native_->handle = nullptr;
}

bool Thread::Joinable() const { return native_->handle != nullptr; }

}  // namespace vesk::platform
