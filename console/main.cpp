// vexilon-cli: the interpreter in a terminal. The command line: options,
// usage, help and version; the session itself is console/session.cpp.
#include <cstdio>
#include <cstring>
#include <string>

#include "console/console_host.h"
#include "console/utf.h"
#include "core/messages.h"

namespace {

constexpr char USAGE[] =
    "usage: vexilon-cli [--events] [--draw-events] [--size WxH] [--svg FILE] "
    "[-e TEXT]... [-i] [FILE.LSP]\n"
    "       vexilon-cli --help | --version\n";

constexpr char HELP[] =
    "\n"
    "Runs Vexilon programs in a terminal. Without -e or FILE.LSP it reads\n"
    "standard input as a REPL: every complete form typed runs, in order, and\n"
    "its value is printed as the window's title would show it.\n"
    "\n"
    "  -e TEXT        run TEXT as the input dialog would: its first form, cut\n"
    "                 at 3,998 units; repeatable, run in order\n"
    "  FILE.LSP       load and run the file after the -e programs, as load\n"
    "                 does, print its value and end\n"
    "  -i             go on to the REPL after the -e programs and the file\n"
    "  --events       print one line per event instead of values and errors:\n"
    "                 'title: TEXT', 'message: CAPTION: TEXT', 'close'\n"
    "  --draw-events  with --events, a 'draw:' line for everything drawn\n"
    "  --size WxH     the drawing surface in pixels (800x600)\n"
    "  --svg FILE     write the drawing as SVG after every run and at the end\n"
    "  --help         this text\n"
    "  --version      the version\n"
    "\n"
    "Ctrl-C stops the program that is running. At a terminal the REPL edits\n"
    "lines (history in ~/.vexilon_history, Tab completes names); Ctrl-C\n"
    "there drops the line being typed and Ctrl-D ends the REPL.\n"
    "\n"
    "Exit status: 0 done; 1 start-up failed; 2 usage error; 3 ended by a\n"
    "fatal condition (an area or stack full).\n";

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

enum class Command { Run, Help, Version, Usage };

Command ParseOptions(int argc, char** argv, vex::ConsoleOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    bool hasValue = i + 1 < argc;
    if (std::strcmp(a, "--help") == 0) {
      return Command::Help;
    } else if (std::strcmp(a, "--version") == 0) {
      return Command::Version;
    } else if (std::strcmp(a, "--events") == 0) {
      o.events = true;
    } else if (std::strcmp(a, "--draw-events") == 0) {
      o.drawEvents = true;
    } else if (std::strcmp(a, "--size") == 0 && hasValue) {
      if (!ParseSize(argv[++i], o.width, o.height)) return Command::Usage;
    } else if (std::strcmp(a, "--svg") == 0 && hasValue) {
      o.svgPath = argv[++i];
    } else if (std::strcmp(a, "-e") == 0 && hasValue) {
      o.programs.emplace_back(argv[++i]);
    } else if (std::strcmp(a, "-i") == 0) {
      o.repl = true;
    } else if (a[0] != '-' && o.file.empty()) {
      o.file = a;
    } else {
      return Command::Usage;
    }
  }
  if (o.programs.empty() && o.file.empty()) o.repl = true;
  return Command::Run;
}

}  // namespace

int main(int argc, char** argv) {
  vex::ConsoleOptions options;
  switch (ParseOptions(argc, argv, options)) {
    case Command::Run:
      return vex::RunConsole(options);
    case Command::Help:
      vex::WriteUtf8(stdout, std::string(USAGE) + HELP);
      return 0;
    case Command::Version:
      vex::WriteUtf8(stdout, vex::ToUtf8(vex::msg::VERSION_TEXT) + "\n");
      return 0;
    case Command::Usage:
      break;
  }
  vex::WriteUtf8(stderr, USAGE);
  return 2;
}
