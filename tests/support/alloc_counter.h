#pragma once

#include <cstddef>

namespace talvo::test {

// Heap allocations made through operator new on any thread since the program started.
// Linking this in replaces the global operator new for the whole test binary.
std::size_t allocationCount();

}  // namespace talvo::test
