// A lock the owning thread may enter again while it holds it, as the platform's
// critical sections allow: code that holds a lock can call code that takes it.
#pragma once

#include <mutex>

namespace vesk::platform {

class CriticalSection {
 public:
  CriticalSection() = default;
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }

  // Holds the critical section for the life of the guard.
  class Guard {
   public:
    explicit Guard(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~Guard() { section_.Leave(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    CriticalSection& section_;
  };

 private:
  std::recursive_mutex mutex_;
};

}  // namespace vesk::platform
