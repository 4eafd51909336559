// Program loading: source files of UTF-16LE text, one top-level expression
// at a time.
//
// Design note. The loader pushes no marker of its own: what the reader and
// the evaluator push stays in the unit of work that called it (the start-up
// load for the library, the run or function call for a `load`). Comments and
// line ends are removed while an expression is read, so the reader sees only
// blanks, as it does for typed text.
#include <string>

#include "core/messages.h"
#include "eval/eval.h"
#include "memory/memory.h"
#include "reader/reader.h"

namespace vex {

namespace {

// A file name plus ".LSP" must fit 256 units with its terminator.
constexpr size_t MAX_NAME_UNITS = 251;

constexpr int END_OF_FILE = -1;

// The next UTF-16LE unit; END_OF_FILE when either byte is missing.
int ReadUnit(HostFile& file) {
  int low = file.Get();
  if (low < 0) return END_OF_FILE;
  int high = file.Get();
  if (high < 0) return END_OF_FILE;
  return low | (high << 8);
}

bool IsLineEnd(int unit) { return unit == u'\r' || unit == u'\n'; }

// Skips a comment up to and including its line end; false at the end of the
// file.
bool SkipComment(HostFile& file) {
  for (;;) {
    int u = ReadUnit(file);
    if (u == END_OF_FILE) return false;
    if (IsLineEnd(u)) return true;
  }
}

// Reads the next top-level expression into text, comments removed and line
// ends as blanks. True with the expression, or with an empty text at the end
// of the file; false after a message.
bool ReadFileExpression(Interp& in, HostFile& file, std::u16string& text) {
  text.clear();
  for (;;) {
    int u = ReadUnit(file);
    if (u == END_OF_FILE) return true;
    if (u == u';') {
      if (!SkipComment(file)) return true;
    } else if (u == u')') {
      ShowError(in, msg::TOO_MANY_RIGHT);
      return false;
    } else if (u == u'(') {
      break;
    }
  }
  text += u'(';
  int depth = 1;
  for (;;) {
    int u = ReadUnit(file);
    if (u == END_OF_FILE) {
      ShowError(in, msg::NO_RIGHT_PAREN);
      return false;
    }
    if (u == u';') {
      if (!SkipComment(file)) {
        ShowError(in, msg::NO_RIGHT_PAREN);
        return false;
      }
      continue;
    }
    if (text.size() >= size_t(MAX_TEXT_UNITS)) {
      ShowError(in, msg::FILE_EXPR_TOO_LONG);
      return false;
    }
    if (IsLineEnd(u)) {
      text += u' ';
      continue;
    }
    text += char16_t(u);
    if (u == u'(') ++depth;
    if (u == u')' && --depth == 0) return true;
  }
}

}  // namespace

Ref LoadFile(Interp& in, std::u16string_view name, Frame& frame) {
  if (name.size() > MAX_NAME_UNITS) return Fail(in, msg::CANNOT_OPEN_FILE);
  std::u16string title(name);
  title += msg::LOADING_SUFFIX;
  in.host.SetTitle(title);
  std::u16string fileName(name);
  fileName += u".LSP";
  std::unique_ptr<HostFile> file =
      in.host.OpenFile(fileName, FileMode::ReadBinary);
  if (!file) return Fail(in, msg::CANNOT_OPEN_FILE);
  if (file->Get() != 0xFF || file->Get() != 0xFE) {
    return Fail(in, msg::NOT_UNICODE_FILE);
  }
  std::u16string text;
  for (;;) {
    if (!ReadFileExpression(in, *file, text)) return ERROR_VALUE;
    if (text.empty()) return in.T;
    // A NUL unit ends the text as the reader sees it.
    text.resize(std::u16string_view(text.c_str()).size());
    if (!ExpandQuotes(in, text)) return ERROR_VALUE;
    Ref form = ParseText(in, text);
    if (form == ERROR_VALUE) return ERROR_VALUE;
    if (EvalDecoded(in, form, frame) == ERROR_VALUE) return ERROR_VALUE;
  }
}

Ref BuiltinLoad(Interp& in, CallArgs& a) {
  if (!IsSymbol(in, a.v[0])) return Fail(in, msg::SYNTAX_ERROR);
  return LoadFile(in, NameText(in, SymbolName(in, a.v[0])), *a.frame);
}

}  // namespace vex
