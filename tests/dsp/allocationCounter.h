#pragma once

#include <cstddef>

// Counts calls of the global operator new in this test executable (allocationCounter.cpp
// replaces it), so that a test can show that a processor allocates nothing.
namespace alloc {

std::size_t count();

} // namespace alloc
