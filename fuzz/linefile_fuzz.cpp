// Fuzz target: arbitrary bytes as a pair of line files (.lin and .ar) read
// back with readlc. The first byte says where the .lin part ends.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vex::fuzz::FuzzHost host;
  vex::Interp& in = vex::fuzz::SharedInterp(host);
  if (size == 0) return 0;
  size_t split = 1 + data[0] * (size - 1) / 255;
  const char* bytes = reinterpret_cast<const char*>(data);
  host.SetFile(u"d.lin", std::string(bytes + 1, split - 1));
  host.SetFile(u"d.ar", std::string(bytes + split, size - split));
  vex::fuzz::RunWithBudget(in, u"(readlc 'd)");
  return 0;
}
