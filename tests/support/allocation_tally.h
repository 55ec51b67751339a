// Counts the bytes the calling thread allocates through operator new, so a test
// can tell whether work costs memory in proportion to its size. Linking
// allocation_tally.cpp replaces the program's operator new and delete.
#pragma once

#include <cstddef>

namespace vesk::test {

std::size_t BytesAllocatedOnThisThread();

}  // namespace vesk::test
