#include "input/worker_thread.h"

#include <gtest/gtest.h>

#include <thread>

namespace vesk::input {
namespace {

constexpr std::uint32_t kExit = 4;
constexpr HRESULT kExitResult = 42;

// Answers each request with ten times its code, until the exit request.
class EchoWorker final : public WorkerThread {
 public:
  ~EchoWorker() override { Join(); }

 private:
  HRESULT ThreadProc() override {
    for (;;) {
      const std::uint32_t request = GetRequest();
      if (request == kExit) {
        Reply(S_OK);
        return kExitResult;
      }
      Reply(static_cast<HRESULT>(request * 10));
    }
  }
};

// Looks for its one request without waiting, as a reading loop does.
class PollingWorker final : public WorkerThread {
 public:
  ~PollingWorker() override { Join(); }

 private:
  HRESULT ThreadProc() override {
    std::uint32_t request = 0;
    while (!CheckRequest(&request)) std::this_thread::yield();
    Reply(static_cast<HRESULT>(request + 1));
    return S_OK;
  }
};

TEST(WorkerThreadTest, HandsRequestsToTheThreadAndRepliesBack) {
  EchoWorker worker;
  EXPECT_EQ(worker.CallWorker(1), E_FAIL);  // no thread yet
  ASSERT_EQ(worker.Create(), 1);
  EXPECT_EQ(worker.Create(), 0);  // one runs already
  EXPECT_EQ(worker.CallWorker(1), 10);
  EXPECT_EQ(worker.CallWorker(3), 30);
  EXPECT_EQ(worker.CallWorker(kExit), S_OK);
  EXPECT_EQ(worker.Join(), kExitResult);
  EXPECT_EQ(worker.Join(), S_OK);  // nothing left to join
  EXPECT_EQ(worker.CallWorker(1), E_FAIL);

  ASSERT_EQ(worker.Create(), 1);  // a new thread after the join
  EXPECT_EQ(worker.CallWorker(2), 20);
  EXPECT_EQ(worker.CallWorker(kExit), S_OK);
}

TEST(WorkerThreadTest, CheckRequestSeesOnlyAWaitingRequest) {
  PollingWorker worker;
  std::uint32_t request = 0;
  EXPECT_EQ(worker.CheckRequest(&request), 0);
  ASSERT_EQ(worker.Create(), 1);
  EXPECT_EQ(worker.CallWorker(7), 8);
  EXPECT_EQ(worker.CheckRequest(&request), 0);  // answered, so no longer waiting
}

}  // namespace
}  // namespace vesk::input
