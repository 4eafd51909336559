// VEX_ASSERT(condition && "why"): an invariant of the implementation. It is
// checked in the debug, sanitizer and collector stress builds, where a broken
// invariant ends the program at once with the condition and its place, and
// compiled out of the release builds, where the condition is not evaluated.
#pragma once

#if !defined(NDEBUG) || defined(VEX_GC_STRESS)
#include <cstdio>
#include <cstdlib>

namespace vex {
[[noreturn]] inline void AssertionFailed(const char* condition,
                                         const char* file, int line) {
  std::fprintf(stderr, "vexilon: %s:%d: invariant broken: %s\n", file, line,
               condition);
  std::abort();
}
}  // namespace vex

#define VEX_ASSERT(condition) \
  ((condition) ? void(0)      \
               : ::vex::AssertionFailed(#condition, __FILE__, __LINE__))
#else
#define VEX_ASSERT(condition) void(0)
#endif
