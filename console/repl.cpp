// The REPL: lines make inputs, inputs are split into forms, each form runs.
//
// Design note. An input is complete once no list in it is left open: lines
// are gathered until then, and the input is one history entry. Each of its
// top-level forms then runs on its own, in order, as if it alone had been
// typed into the input dialog; a Ctrl-C that stops one drops the rest. As
// between the elements of a list, only blanks and line ends separate forms.
// A ")" that closes nothing refuses the whole input, as the dialog's check
// refuses such a text.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/line_input.h"
#include "console/session.h"
#include "console/utf.h"
#include "core/messages.h"
#include "memory/memory.h"

namespace vex {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\n' || c == '\r'; }

struct Forms {
  std::vector<std::string_view> forms;
  bool open = false;        // a list is not closed yet: more lines to come
  bool strayClose = false;  // a ")" closes nothing
};

// The top-level forms of an input: each a list up to its closing
// parenthesis or a token, with the quote prefixes before it.
Forms SplitForms(std::string_view text) {
  Forms out;
  size_t i = 0;
  for (;;) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size()) return out;
    size_t start = i;
    while (i < text.size() && (text[i] == '\'' || IsBlank(text[i]))) ++i;
    if (i < text.size() && text[i] == ')') {
      out.strayClose = true;
      return out;
    }
    if (i < text.size() && text[i] == '(') {
      for (long depth = 0; i < text.size();) {
        depth += text[i] == '(' ? 1 : text[i] == ')' ? -1 : 0;
        ++i;
        if (depth == 0) break;
        if (i == text.size()) {
          out.open = true;
          return out;
        }
      }
    } else {
      while (i < text.size() && !IsBlank(text[i]) && text[i] != '(' &&
             text[i] != ')')
        ++i;
    }
    out.forms.push_back(text.substr(start, i - start));
  }
}

// What Tab completes: the built-in names, and the functions and global
// variables defined now.
std::vector<std::string> Names(Interp& in) {
  std::vector<std::string> names = {
#define VEX_BUILTIN(name, mode, minArgs, handler) ToUtf8(name),
#include "core/builtins.def"
#undef VEX_BUILTIN
  };
  for (int32_t i = 0; i < in.functionCount; ++i)
    names.push_back(ToUtf8(NameText(in, in.functions[i].name)));
  for (int32_t i = 0; i < in.globalCount; ++i)
    names.push_back(ToUtf8(NameText(in, in.globals[i].name)));
  return names;
}

}  // namespace

void Repl(Session& session) {
  Interp& in = session.interp();
  std::unique_ptr<LineInput> lines = OpenLineInput([&in] { return Names(in); });
  std::string pending;
  for (;;) {
    std::string line;
    LineInput::Result got = lines->Read(!pending.empty(), line);
    if (got == LineInput::Result::End) return;
    if (got == LineInput::Result::Cancelled) {
      pending.clear();
      continue;
    }
    if (!pending.empty()) pending += '\n';
    pending += line;
    if (pending.find_first_not_of(" \t\r\n") == std::string::npos) {
      pending.clear();
      continue;
    }
    std::string input = std::exchange(pending, {});
    Forms forms = SplitForms(input);  // views into input
    if (forms.open) {
      pending = std::move(input);
      continue;
    }
    std::string entry = input;
    for (char& c : entry)
      if (c == '\n' || c == '\r') c = ' ';
    lines->Remember(entry);
    if (forms.strayClose) {
      ShowError(in, msg::TOO_MANY_RIGHT);
      continue;
    }
    for (std::string_view form : forms.forms) {
      RunEnd end = session.RunTyped(FromUtf8(form));
      if (end == RunEnd::Last) return;
      if (end == RunEnd::Stopped) break;
    }
  }
}

}  // namespace vex
