// Fuzz target: arbitrary bytes as a pair of line files (.lin and .ar) read
// back with readlc. The first byte says where the .lin part ends.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/test_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<vex::test::Session> shared;
  vex::test::Session& s = vex::test::Reused(shared);
  if (size == 0) return 0;
  size_t split = 1 + data[0] * (size - 1) / 255;
  const char* bytes = reinterpret_cast<const char*>(data);
  s.host.files[u"d.lin"].assign(bytes + 1, split - 1);
  s.host.files[u"d.ar"].assign(bytes + split, size - split);
  s.budget = 20000;
  s.Run(u"(readlc 'd)");
  return 0;
}
