// Fuzz target: arbitrary text read and evaluated in one interpreter, each
// run with a step budget. After every run, successful or not, both root
// stacks are back where they were.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tests/test_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<vex::test::Session> shared;
  vex::test::Session& s = vex::test::Reused(shared);
  s.budget = 20000;
  uint32_t top = s.in.cellTop;
  s.Run(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!s.in.closing && (s.in.cellTop != top || s.in.localTop != 0))
    __builtin_trap();
  return 0;
}
