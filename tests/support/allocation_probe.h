#pragma once
// Watches the memory a piece of code asks for: the largest single request made while a probe is
// alive, so a test can tell "refused before allocating" from "allocated, then refused". Linked
// into a test program, it replaces the global operator new for the whole program.

#include <cstddef>

namespace vistrel::testing {

class LargestAllocation {
public:
    LargestAllocation();
    ~LargestAllocation();
    LargestAllocation(const LargestAllocation&) = delete;
    LargestAllocation& operator=(const LargestAllocation&) = delete;

    // The largest single request in bytes since the probe was made.
    std::size_t bytes() const;
};

}  // namespace vistrel::testing
