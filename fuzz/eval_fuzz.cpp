// Fuzz target: arbitrary text read and evaluated in one interpreter, each
// run with a step budget.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vex::fuzz::FuzzHost host;
  vex::Interp& in = vex::fuzz::SharedInterp(host);
  uint32_t top = in.cellTop;
  vex::fuzz::RunWithBudget(in, vex::fuzz::TextOf(data, size));
  // After every run, successful or not, both root stacks are back where
  // they were.
  if (!in.closing && (in.cellTop != top || in.localTop != 0)) __builtin_trap();
  return 0;
}
