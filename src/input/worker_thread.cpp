#include "input/worker_thread.h"

#include <utility>

namespace vesk::input {

using platform::CriticalSection;

WorkerThread::~WorkerThread() { Join(); }

BOOL WorkerThread::Create() {
  CriticalSection::Guard access(accessLock_);
  CriticalSection::Guard guard(threadLock_);
  if (thread_) return 0;
  auto thread = std::make_unique<platform::Thread>();
  if (FAILED(thread->Start([this] { result_ = ThreadProc(); }))) return 0;
  thread_ = std::move(thread);
  return 1;
}

HRESULT WorkerThread::CallWorker(std::uint32_t request) {
  CriticalSection::Guard access(accessLock_);
  {
    CriticalSection::Guard guard(threadLock_);
    if (!thread_) return E_FAIL;
  }
  request_ = request;
  requestWaiting_.Set();
  replied_.Wait();
  return reply_;
}

std::uint32_t WorkerThread::GetRequest() {
  requestWaiting_.Wait();
  return request_;
}

BOOL WorkerThread::CheckRequest(std::uint32_t* request) {
  if (!requestWaiting_.Wait(0)) return 0;
  *request = request_;
  return 1;
}

void WorkerThread::Reply(HRESULT result) {
  reply_ = result;
  requestWaiting_.Reset();
  replied_.Set();
}

HRESULT WorkerThread::Join() {
  std::unique_ptr<platform::Thread> thread;
  {
    CriticalSection::Guard guard(threadLock_);
    thread = std::move(thread_);
  }
  if (!thread) return S_OK;
  thread->Join();
  return result_;
}

}  // namespace vesk::input
