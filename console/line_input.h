// Reading what is typed into the REPL, one line at a time.
//
// Design note. Lines are read as they come; the prompts are shown when
// standard input is a terminal.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vex {

// The names Tab completes, as they are at the moment of the Tab (UTF-8).
using NameSource = std::function<std::vector<std::string>()>;

class LineInput {
 public:
  enum class Result {
    Line,       // a line, without its line end
    Cancelled,  // Ctrl-C: what was typed is dropped
    End,        // the input has ended
  };
  virtual ~LineInput() = default;
  // Reads one line in UTF-8. continued: the line goes on with a form begun
  // on an earlier line (the prompt says so).
  virtual Result Read(bool continued, std::string& line) = 0;
  // One complete input, its lines joined by blanks, for the history.
  virtual void Remember(const std::string& entry) = 0;
};

// Whether a person types at a terminal: standard input and standard output
// are a terminal (a console on Windows).
bool AtTerminal();

// The lines of standard input.
std::unique_ptr<LineInput> OpenLineInput(NameSource names);

}  // namespace vex
