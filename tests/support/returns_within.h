// Turns a hang into a failure: runs a call on a thread of its own and gives
// its result, or ends the test program loudly when it has not returned
// within the limit (a deadlock nothing after it could recover from).
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

namespace vesk::test {

template <typename Call>
auto ReturnsWithin(std::chrono::seconds limit, const char* what, Call call) {
  auto task = std::make_shared<std::packaged_task<decltype(call())()>>(std::move(call));
  auto result = task->get_future();
  std::thread([task] { (*task)(); }).detach();
  if (result.wait_for(limit) != std::future_status::ready) {
    std::fprintf(stderr, "%s did not return within %lld s\n", what, static_cast<long long>(limit.count()));
    std::abort();
  }
  return result.get();
}

}  // namespace vesk::test
