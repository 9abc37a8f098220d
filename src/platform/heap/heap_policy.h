// The process heap's policy (glibc malloc), so that a player that runs for hours holds
// about as much memory after its hundredth file as after its first.
//
// What it is: two settings made once, first thing in main, and one call after a file is
// closed. glibc's defaults suit short programs but not a player: (1) its mmap threshold
// rises to the largest block ever freed (up to 32 MB) and the trim threshold to twice that,
// so video-sized buffers end up inside the heaps and tens of MB of free memory stay resident
// at the top of each heap for good; (2) every thread that allocates may get its own arena
// (up to 8 per core), and each arena keeps its own free memory. Fixing the trim threshold
// keeps the mmap threshold at glibc's start value (large buffers are mapped and given back
// when freed) and gives back heap tops above it; the arenas are bounded by the machine's
// cores. A user's own MALLOC_ARENA_MAX / MALLOC_TRIM_THRESHOLD_ / GLIBC_TUNABLES settings
// win over ours.
// Plain C++ over glibc, no Qt.
#pragma once

namespace kv::heap {

// Applies the policy. Call from main before any thread starts (mallopt is not meant to race
// with the first allocations of other threads). Idempotent; false when glibc refused a
// setting (the defaults then stay, nothing else changes).
bool ApplyHeapPolicy();

// Gives free heap memory back to the system (malloc_trim). Any thread; takes the allocator's
// arena locks in turn, a few milliseconds at most. Call after a file's graph is torn down.
void ReleaseFreeHeapMemory();

}  // namespace kv::heap
