// Fuzz target: the two engines must agree. Each line of the input is a
// typed program; two interpreters with the start-up library run the lines
// in turn, one running user functions (the library's among them) as decoded
// bodies and one through the evaluator alone, with the same step budget and
// stack guard. Their transcripts (values, titles, messages, collector
// reports, drawing, close requests) must be the same, event for event: a
// difference prints both and aborts. Like the window, the two serve many
// inputs, and are made again together.
//
// So a difference may need every line the pair ran before it: the target
// then also writes those lines, one a line, to the file VEX_ENGINES_HISTORY
// names (engines-history.txt without it). With VEX_ENGINES_REPLAY set, an
// input is such a file: all its lines run in one new pair, which stops at
// the first line whose events differ.
//
//   VEX_ENGINES_REPLAY=1 build/fuzz/fuzz/engines_fuzz engines-history.txt
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "tests/test_host.h"

namespace {

// The text of the start-up library (UTF-16LE after its byte-order mark).
const std::u16string& Library() {
  static const std::u16string text = [] {
    std::ifstream f(VEX_LIBRARY, std::ios::binary);
    std::string b{std::istreambuf_iterator<char>(f), {}};
    std::u16string units;
    for (size_t i = 2; i + 1 < b.size(); i += 2)
      units += char16_t(uint8_t(b[i]) | uint8_t(b[i + 1]) << 8);
    return units;
  }();
  return text;
}

void Print(const char* engine, const vex::test::Lines& events) {
  std::fprintf(stderr, "--- %s (%zu events)\n", engine, events.size());
  for (const std::string& e : events) std::fprintf(stderr, "%s\n", e.c_str());
}

[[noreturn]] void ReportDifference(const vex::test::Lines& decoded,
                                   const vex::test::Lines& evaluated,
                                   const std::string& history) {
  Print("decoded bodies", decoded);
  Print("evaluator only", evaluated);
  const char* path = std::getenv("VEX_ENGINES_HISTORY");
  if (path == nullptr) path = "engines-history.txt";
  std::ofstream(path, std::ios::binary) << history;
  std::fprintf(stderr, "the pair's lines since it was made: %s\n", path);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  using vex::test::Session;
  static std::unique_ptr<Session> decoded, evaluated;
  static std::string history;  // the lines the pair has run
  static const bool replay = std::getenv("VEX_ENGINES_REPLAY") != nullptr;
  // Loading the library twice costs as much as many runs: a pair serves
  // until it has touched a million Cells (reclaiming keeps most runs well
  // below that) or written 4 MB to files (a pair that has drawn a great deal
  // makes every later save of the drawing slow).
  if (!decoded || replay || Spent(*decoded, 1u << 20) ||
      Spent(*evaluated, 1u << 20) || decoded->host.written > (1u << 22)) {
    decoded.reset();
    evaluated.reset();
    history.clear();
    decoded = std::make_unique<Session>(true, Library());
    evaluated = std::make_unique<Session>(false, Library());
    if (!decoded->started) std::abort();  // the library did not load
    // Enough steps per program for loops, recursion and collections; few
    // enough that a campaign runs millions of inputs.
    decoded->budget = evaluated->budget = 2000;
  }
  decoded->host.events.clear();
  evaluated->host.events.clear();
  // A few programs an input, so that a campaign runs millions of them; what
  // ran before in the pair goes on mattering.
  for (int lines = 0;
       (replay || lines < 8) && !input.empty() && !decoded->in.closing;
       ++lines) {
    std::string_view line = input.substr(0, input.find('\n'));
    input.remove_prefix(std::min(input.size(), line.size() + 1));
    decoded->Run(line);
    evaluated->Run(line);
    history.append(line).push_back('\n');
    if (!replay) continue;
    if (decoded->host.events != evaluated->host.events)
      ReportDifference(decoded->host.events, evaluated->host.events, history);
    decoded->host.events.clear();
    evaluated->host.events.clear();
  }
  if (decoded->host.events != evaluated->host.events)
    ReportDifference(decoded->host.events, evaluated->host.events, history);
  return 0;
}
