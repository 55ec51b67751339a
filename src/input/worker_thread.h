// A thread with a one-slot request/reply hand-off: a caller hands the thread a
// request code and waits until the thread's procedure answers it. The filter's
// reading thread and the HTTP download thread are WorkerThreads.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "vesk/com.h"

namespace vesk::input {

class WorkerThread {
 public:
  WorkerThread() = default;
  // Waits for the thread. A derived class must end its thread in its own
  // destructor already: the procedure it runs belongs to the derived part.
  virtual ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts the thread on ThreadProc: 1 when started, 0 when it could not be
  // started or one is there already (until Join).
  BOOL Create();
  // Hands the thread a request and waits without limit for its reply.
  // E_FAIL when there is no thread.
  HRESULT CallWorker(std::uint32_t request);
  // Waits without limit for the next request and gives it; the request stays
  // waiting until Reply.
  std::uint32_t GetRequest();
  // Looks for a waiting request without waiting: 1 and the request, or 0.
  BOOL CheckRequest(std::uint32_t* request);
  // Answers the waiting request and releases its caller.
  void Reply(HRESULT result);
  // Waits for the thread to end and lets go of it, so Create may start another.
  // The procedure's result; S_OK when there was no thread.
  HRESULT Join();

 protected:
  // The thread's work; its result becomes the thread's result.
  virtual HRESULT ThreadProc() = 0;

 private:
  platform::Event requestWaiting_{platform::EventMode::kManualReset};
  platform::Event replied_{platform::EventMode::kAutoReset};
  // The hand-off slots: each is written before its event is set and read after
  // the wait for that event, which orders the two threads' accesses.
  std::uint32_t request_ = 0;
  HRESULT reply_ = S_OK;

  // Serialises callers: Create, and one CallWorker at a time.
  platform::CriticalSection accessLock_;
  // Guards thread_. Join takes the thread out under it, so a thread is never
  // joined twice whoever calls Join first (Stop or destruction).
  platform::CriticalSection threadLock_;
  std::unique_ptr<platform::Thread> thread_;
  // Written by the thread as it ends; read only after joining it.
  HRESULT result_ = S_OK;
};

}  // namespace vesk::input
