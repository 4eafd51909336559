// Fuzz target: arbitrary bytes as a source file given to the loader, whose
// expressions are evaluated with a step budget.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/test_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<vex::test::Session> shared;
  vex::test::Session& s = vex::test::Reused(shared);
  s.budget = 20000;
  s.host.files[u"f.LSP"].assign(reinterpret_cast<const char*>(data), size);
  s.Run(u"(load 'f)");
  return 0;
}
