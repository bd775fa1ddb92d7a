// Stops a fuzz target with the property that failed, so that a crash report
// says what went wrong and not only where.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %s\n", property);
  std::abort();
}
