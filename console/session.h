// One console session: the interpreter with its host, the runs the command
// line and the REPL ask for, and every way the program ends.
#pragma once

#include <string>
#include <string_view>

#include "console/console_host.h"

namespace vex {

// How a run ended, as far as what comes after it is concerned.
enum class RunEnd {
  Done,     // with its value or its error message
  Stopped,  // stopped by Ctrl-C: the rest of what was typed is dropped
  Last,     // the session is over: a fatal condition, or a signal ends it
};

class Session {
 public:
  Session(const ConsoleOptions& options, ConsoleHost& host, Interp& in)
      : options_(options), host_(host), in_(in) {}

  // Starts the interpreter with the start-up library; false after the
  // messages, and a word on standard error of where it was looked for.
  bool Start();
  // Runs a typed program as the input dialog does: its first form, of at
  // most 3,998 units (a longer text is cut, as standard error then says).
  RunEnd RunTyped(std::u16string_view text);
  // Loads and runs a source file as load does; path may end in ".LSP" and
  // separate folders with "/".
  RunEnd RunFile(const std::string& path);
  // The interpreter, whose names the REPL completes.
  Interp& interp() { return in_; }

 private:
  template <typename Prepare>
  RunEnd Run(Prepare&& prepare);
  // Writes the picture, when one is wanted and it has changed since it was
  // last written; says on standard error when it cannot be written.
  void WritePicture();

  const ConsoleOptions& options_;
  ConsoleHost& host_;
  Interp& in_;
  bool pictureWritten_ = false;
  uint64_t writtenVersion_ = 0;
};

// The REPL (repl.cpp): reads standard input, runs every complete form typed
// and goes on until the input ends or the session is over.
void Repl(Session& session);

}  // namespace vex
