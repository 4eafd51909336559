// vexilon-cli: the interpreter in a terminal.
//
//   vexilon-cli [--events] [--draw-events] [--size WxH] [--svg FILE]
//               [-e TEXT]...
//
// Each -e TEXT is one typed program, run in order in one interpreter; with
// none, a REPL reads standard input. Exit status: 0; 1 start-up failed;
// 2 usage error; 3 ended by a fatal condition.
#include <cstdio>
#include <cstring>
#include <string>

#include "console/console_host.h"

namespace {

constexpr char USAGE[] =
    "usage: vexilon-cli [--events] [--draw-events] [--size WxH] [--svg FILE] "
    "[-e TEXT]...\n";

// Parses "WxH" with both sides whole numbers from 1 to 32767.
bool ParseSize(const char* text, int& width, int& height) {
  int w = 0, h = 0;
  char x = 0, rest = 0;
  if (std::sscanf(text, "%d%c%d%c", &w, &x, &h, &rest) != 3 || x != 'x')
    return false;
  if (w < 1 || h < 1 || w > 32767 || h > 32767) return false;
  width = w;
  height = h;
  return true;
}

bool ParseOptions(int argc, char** argv, vex::ConsoleOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    bool hasValue = i + 1 < argc;
    if (std::strcmp(a, "--events") == 0) {
      o.events = true;
    } else if (std::strcmp(a, "--draw-events") == 0) {
      o.drawEvents = true;
    } else if (std::strcmp(a, "--size") == 0 && hasValue) {
      if (!ParseSize(argv[++i], o.width, o.height)) return false;
    } else if (std::strcmp(a, "--svg") == 0 && hasValue) {
      o.svgPath = argv[++i];
    } else if (std::strcmp(a, "-e") == 0 && hasValue) {
      o.programs.emplace_back(argv[++i]);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  vex::ConsoleOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  return vex::RunConsole(options);
}
