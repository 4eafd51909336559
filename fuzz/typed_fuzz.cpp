// Fuzz target: the typed-program path without evaluation: the balance
// check, the quote expansion, the reader, and the printer on what was read.
#include <cstddef>
#include <cstdint>

#include "driver/run.h"
#include "memory/memory.h"
#include "reader/reader.h"
#include "tests/test_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<vex::test::Session> shared;
  vex::Interp& in = vex::test::Reused(shared).in;
  // Two bytes a unit, so every UTF-16 unit can occur.
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2)
    text += char16_t(data[i] | (data[i + 1] << 8));
  uint32_t top = in.cellTop;
  vex::Ref program = vex::ERROR_VALUE;
  if (vex::PrepareRun(in, text, program) == vex::Prepared::Ready) {
    vex::PrintToText(in, program);
    vex::PopCellsToMarker(in);
  }
  if (!in.closing && in.cellTop != top) __builtin_trap();  // stack balance
  return 0;
}
