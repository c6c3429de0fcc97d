#include "load_counter.h"

namespace {
DorvaDoubleLoadCounts g_counts{0, 0};
}  // namespace

extern "C" __attribute__((visibility("default"))) DorvaDoubleLoadCounts*
dorva_double_load_counts() {
  return &g_counts;
}
