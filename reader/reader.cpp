// The reader: typed or loaded text to Cells.
//
// Design note. The text is at most 3,998 units, but reading it must still be
// linear: the matching parenthesis of every "(" and the next delimiter of
// every position are computed once per text, and the reader walks positions
// of the one text instead of copying the rest of it at every element. Nested
// lists are read with an explicit stack of open lists, so no text can
// exhaust the native stack. The Cells are made and pushed in the order of
// the element-by-element definition: each list Cell is taken before its
// element is read, and the Cells of a list are pushed after all Cells of its
// elements, the Cell that heads the list last.
#include "reader/reader.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "core/messages.h"
#include "memory/memory.h"

namespace vex {

namespace {

constexpr size_t NONE = size_t(-1);

bool IsDelimiter(char16_t c) { return c == u' ' || c == u'(' || c == u')'; }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// close[i] for every "(" at i: the position of its matching ")", or NONE.
std::vector<size_t> MatchParens(std::u16string_view t) {
  std::vector<size_t> close(t.size(), NONE);
  std::vector<size_t> open;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == u'(') {
      open.push_back(i);
    } else if (t[i] == u')' && !open.empty()) {
      close[open.back()] = i;
      open.pop_back();
    }
  }
  return close;
}

}  // namespace

bool IsNumberToken(std::u16string_view token) {
  if (token.empty()) return false;
  if (IsDigit(token[0])) return true;
  return token[0] == u'-' && token.size() > 1 && IsDigit(token[1]);
}

float TextToNumber(std::u16string_view token) {
  // atof reads the longest prefix of the form
  // [sign] digits [. digits] [(e|E) [sign] digits], decimal only.
  std::string bytes;
  for (size_t i = 0; i < token.size() && i < 39; ++i)
    bytes += char(token[i] & 0xFF);
  size_t i = 0;
  auto digits = [&](size_t from) {
    size_t j = from;
    while (j < bytes.size() && bytes[j] >= '0' && bytes[j] <= '9') ++j;
    return j;
  };
  if (i < bytes.size() && (bytes[i] == '+' || bytes[i] == '-')) ++i;
  size_t intEnd = digits(i);
  size_t end = intEnd;
  bool any = intEnd > i;
  if (end < bytes.size() && bytes[end] == '.') {
    size_t fracEnd = digits(end + 1);
    any = any || fracEnd > end + 1;
    end = fracEnd;
  }
  if (!any) return 0.0f;
  if (end < bytes.size() && (bytes[end] == 'e' || bytes[end] == 'E')) {
    size_t e = end + 1;
    if (e < bytes.size() && (bytes[e] == '+' || bytes[e] == '-')) ++e;
    size_t expEnd = digits(e);
    if (expEnd > e) end = expEnd;
  }
  bytes.resize(end);
  return float(std::strtod(bytes.c_str(), nullptr));
}

bool CheckBalance(Interp& in, std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  if (i == text.size()) return false;
  if (text[i] == u')') {
    ShowError(in, msg::TOO_MANY_RIGHT);
    return false;
  }
  if (text[i] != u'(') return true;
  long depth = 0;
  for (; i < text.size(); ++i) {
    if (text[i] == u'(') {
      ++depth;
    } else if (text[i] == u')' && --depth < 0) {
      ShowError(in, msg::TOO_MANY_RIGHT);
      return false;
    }
  }
  if (depth != 0) {
    ShowError(in, msg::TOO_FEW_RIGHT);
    return false;
  }
  return true;
}

// Each apostrophe becomes "(quote " and a ")" goes where the expression after
// it ends. The end is found on the original text: apostrophes do not change
// parenthesis depth, and the ")" of an enclosing quotation lies beyond the
// end of any quotation inside it, except when it stands right where the inner
// expression would begin; then the inner expression is empty and ends there.
bool ExpandQuotes(Interp& in, std::u16string& text) {
  const size_t n = text.size();
  size_t quotes = 0;
  for (char16_t c : text) quotes += c == u'\'';
  if (n + 7 * quotes >= size_t(MAX_TEXT_UNITS + 1)) {
    ShowError(in, msg::EXPR_TOO_LONG);
    return false;
  }
  if (quotes == 0) return true;

  std::u16string_view t(text);
  std::vector<size_t> close = MatchParens(t);
  std::vector<size_t> nextDelim(n + 1, n);
  for (size_t i = n; i-- > 0;)
    nextDelim[i] = IsDelimiter(t[i]) ? i : nextDelim[i + 1];

  std::vector<uint16_t> closersAt(n + 1, 0);
  std::vector<size_t> pending;  // ends of the quotations still open
  for (size_t i = 0; i < n; ++i) {
    if (t[i] != u'\'') continue;
    while (!pending.empty() && pending.back() <= i) pending.pop_back();
    size_t p = i + 1;
    while (p < n && t[p] == u' ') ++p;
    size_t end;
    if (!pending.empty() && pending.back() <= p) {
      end = pending.back();
    } else if (p < n && t[p] == u'(') {
      end = close[p] == NONE ? n : close[p] + 1;
    } else {
      end = nextDelim[p];
    }
    ++closersAt[end];
    pending.push_back(end);
  }

  std::u16string out;
  out.reserve(n + 7 * quotes);
  for (size_t i = 0; i <= n; ++i) {
    out.append(closersAt[i], u')');
    if (i == n) break;
    if (t[i] == u'\'')
      out += u"(quote ";
    else
      out += t[i];
  }
  text = std::move(out);
  return true;
}

namespace {

// One list being read: its Cells so far and, for a nested list, the Cell
// whose car it becomes.
struct OpenList {
  std::vector<Ref> cells;
  Ref owner;
};

// Links the Cells of a finished list and pushes them, last Cell first.
// Returns the list (NIL when empty) or ERROR_VALUE.
Ref CloseList(Interp& in, OpenList& list) {
  if (list.cells.empty()) return in.NIL;
  for (size_t k = 0; k + 1 < list.cells.size(); ++k)
    in.cells[list.cells[k]].cdr = list.cells[k + 1];
  in.cells[list.cells.back()].cdr = in.NIL;
  for (size_t k = list.cells.size(); k-- > 0;)
    if (!PushCell(in, list.cells[k])) return ERROR_VALUE;
  return list.cells.front();
}

// An atom token: a pushed number Cell or a new symbol Cell.
Ref ReadAtom(Interp& in, std::u16string_view token) {
  if (IsNumberToken(token)) {
    Ref n = MakeNumber(in, TextToNumber(token));
    if (n == ERROR_VALUE || !PushCell(in, n)) return ERROR_VALUE;
    return n;
  }
  NameRef name = InternName(in, token);
  if (name == NO_NAME) return ERROR_VALUE;
  return MakeSymbol(in, name);
}

}  // namespace

Ref ParseText(Interp& in, std::u16string_view t) {
  const size_t n = t.size();
  size_t p = 0;
  while (p < n && t[p] == u' ') ++p;
  if (p == n || t[p] != u'(') {
    size_t q = p;
    while (q < n && !IsDelimiter(t[q])) ++q;
    return ReadAtom(in, t.substr(p, q - p));
  }

  std::vector<size_t> close = MatchParens(t);
  std::vector<OpenList> open;
  open.push_back(OpenList{{}, ERROR_VALUE});
  ++p;
  for (;;) {
    while (p < n && t[p] == u' ') ++p;
    if (p == n) {
      // Only a quotation left open at the end of the text gets here.
      return Fail(in, msg::RIGHT_PAREN_MISSING);
    }
    if (t[p] == u')') {
      Ref list = CloseList(in, open.back());
      if (list == ERROR_VALUE) return ERROR_VALUE;
      Ref owner = open.back().owner;
      open.pop_back();
      if (open.empty()) return list;
      in.cells[owner].car = list;
      ++p;
      continue;
    }
    Ref cell = AllocCell(in);
    if (cell == ERROR_VALUE) return ERROR_VALUE;
    in.cells[cell] = Cell{TAG_LIST, MARK_USED, in.NIL, in.NIL};
    open.back().cells.push_back(cell);
    if (t[p] == u'(') {
      if (close[p] == NONE) return Fail(in, msg::RIGHT_PAREN_MISSING);
      open.push_back(OpenList{{}, cell});
      ++p;
      continue;
    }
    size_t q = p;
    while (q < n && !IsDelimiter(t[q])) ++q;
    Ref atom = ReadAtom(in, t.substr(p, q - p));
    if (atom == ERROR_VALUE) return ERROR_VALUE;
    in.cells[cell].car = atom;
    p = q;
  }
}

}  // namespace vex
