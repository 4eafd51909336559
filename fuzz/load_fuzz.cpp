// Fuzz target: arbitrary bytes as a source file given to the loader, whose
// expressions are evaluated with a step budget.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vex::fuzz::FuzzHost host;
  vex::Interp& in = vex::fuzz::SharedInterp(host);
  host.SetFile(u"f.LSP",
               std::string(reinterpret_cast<const char*>(data), size));
  vex::fuzz::RunWithBudget(in, u"(load 'f)");
  return 0;
}
