#pragma once
#include <cstddef>

namespace velora::testing {
// Number of allocations through operator new since the process started.
std::size_t AllocationCount();
}  // namespace velora::testing
