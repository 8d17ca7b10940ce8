// A replacement of the global allocator that can be told to fail: after
// failAllocationAfter(n), the n-th allocation from then on throws
// std::bad_alloc once. Link the library dx_failing_allocator, which defines
// the replaceable operators once per program.
#pragma once

namespace testalloc {
/// Allocations still to succeed before the failing one; -1 when disarmed.
extern int countdown;

inline void failAllocationAfter(int n) { countdown = n - 1; }
inline void disarm() { countdown = -1; }
}  // namespace testalloc
