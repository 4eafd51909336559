// Start-up and the run of one typed program: the path every host takes from
// a text to the value in the title.
#include "driver/run.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/messages.h"
#include "eval/eval.h"
#include "memory/memory.h"
#include "reader/reader.h"
#include "turtle/turtle.h"

namespace vex {

bool StartInterpreter(Interp& in, std::u16string_view library) {
  if (!InitMemory(in)) return false;
  // The start-up marker: what the library leaves on the CellStack stays
  // there, rooted, for as long as the program runs.
  if (!PushCell(in, ERROR_VALUE)) return false;
  Frame top;
  if (LoadFile(in, library, top) == ERROR_VALUE) {
    Fatal(in, msg::STARTUP_LOAD_FAILED);
    return false;
  }
  return !in.closing;
}

Prepared PrepareRun(Interp& in, std::u16string_view inputText, Ref& program) {
  std::u16string text(inputText.substr(0, inputText.find(u'\0')));
  if (text.size() > size_t(MAX_TEXT_UNITS)) text.resize(MAX_TEXT_UNITS);
  for (char16_t& c : text)
    if (c == u'\r' || c == u'\n') c = u' ';
  if (!CheckBalance(in, text) || !ExpandQuotes(in, text))
    return Prepared::Reopen;
  if (!PushCell(in, ERROR_VALUE)) return Prepared::ReadFailed;
  program = ParseText(in, text);
  if (program == ERROR_VALUE) {
    PopCellsToMarker(in);
    return Prepared::ReadFailed;
  }
  return Prepared::Ready;
}

Ref ExecuteRun(Interp& in, Ref program) {
  // Every run has a thread of its own, whose C runtime generator starts
  // from its initial seed.
  in.randState = 1;
  in.runStopped = false;
  in.pollCountdown = 0;
  BeginRunDrawing(in);
  Frame top;
  Ref value = EvalDecoded(in, program, top);
  if (value != ERROR_VALUE) {
    std::u16string_view prefix = msg::TITLE_PREFIX;
    prefix.copy(in.PrintBuffer, prefix.size());
    in.PrintBuffer[prefix.size()] = 0;
    in.PrintCounter = 0;
    PrintValue(in, value, int(prefix.size()));
    in.host.SetTitle(in.PrintBuffer);
  }
  PopCellsToMarker(in);
  return value;
}

bool DecodeBodiesFromEnvironment() {
  const char* setting = std::getenv("VEXILON_DECODE");
  return setting == nullptr || std::string_view(setting) != "0";
}

namespace {

// A bound of the native stack one level of call-form nesting takes in
// either engine, whatever the form (measured: at most some 340 bytes in the
// optimised builds, through load; some 1,650 with the sanitizers).
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t BYTES_PER_LEVEL = 4096;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr size_t BYTES_PER_LEVEL = 4096;
#else
constexpr size_t BYTES_PER_LEVEL = 512;
#endif
#else
constexpr size_t BYTES_PER_LEVEL = 512;
#endif

}  // namespace

void SetStackGuard(Interp& in, size_t budget) {
  char here = 0;
  // The address of a local of the caller's frame marks the top of the
  // evaluation's stack; the guard compares addresses, nothing is written.
  auto base = reinterpret_cast<uintptr_t>(&here);
  in.stackLimit = base > budget ? base - budget : 0;
  // The nesting both engines count reaches its limit first; the address is
  // the last resort.
  in.depthLimit =
      uint32_t(std::min<size_t>(budget / BYTES_PER_LEVEL, 1u << 30));
}

}  // namespace vex
