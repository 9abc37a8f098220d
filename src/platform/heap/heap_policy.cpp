#include "platform/heap/heap_policy.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace kv::heap {
namespace {

// Heap tops larger than this go back to the system at once.
constexpr int KTrimThreshold = 4 * 1024 * 1024;
// Arenas: one per core, at least 2 (the user-interface thread and the streaming threads
// then rarely wait on each other), at most 8.
constexpr long KArenasLeast = 2;
constexpr long KArenasMost = 8;

bool UserChose(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

}  // namespace

bool ApplyHeapPolicy() {
  if (UserChose("GLIBC_TUNABLES")) return true;
  bool ok = true;
  if (!UserChose("MALLOC_ARENA_MAX")) {
    long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    int arenas = static_cast<int>(std::clamp(cores, KArenasLeast, KArenasMost));
    ok = mallopt(M_ARENA_MAX, arenas) == 1 && ok;
  }
  if (!UserChose("MALLOC_TRIM_THRESHOLD_") && !UserChose("MALLOC_MMAP_THRESHOLD_"))
    ok = mallopt(M_TRIM_THRESHOLD, KTrimThreshold) == 1 && ok;
  return ok;
}

void ReleaseFreeHeapMemory() { malloc_trim(0); }

}  // namespace kv::heap
