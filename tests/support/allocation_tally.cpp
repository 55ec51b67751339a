#include "allocation_tally.h"

#include <cstdlib>
#include <new>

namespace {
thread_local std::size_t allocated = 0;

void* Allocate(std::size_t size) noexcept {
  allocated += size;
  return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

namespace vesk::test {
std::size_t BytesAllocatedOnThisThread() { return allocated; }
}  // namespace vesk::test

// Every plain form goes through malloc and free, so the sanitizers see matching pairs.
void* operator new(std::size_t size) {
  if (void* memory = Allocate(size)) return memory;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
