// The value printer: values to the system's printed form.
//
// Design note. Every atom is followed by a blank and a list's ")" by
// nothing, so (a (b) c) prints as "(a (b )c )". A shared counter bounds the
// text: a piece that would bring it to the print limit is not appended, and
// nothing after it. List tails are walked in a loop and the lists still open
// are kept on an explicit stack, so a circular list or a list nested 30,000
// deep in the car direction prints up to the limit without deep recursion.
#include <charconv>
#include <cmath>
#include <vector>

#include "memory/memory.h"
#include "reader/reader.h"

namespace vex {

std::u16string FormatNumber(float value) {
  // "%f" of the value widened to double: at most 29 characters. A value
  // whose "%f" text would be longer gets the "%e" form instead.
  char buf[400];
  double d = value;
  auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 6);
  if (r.ec != std::errc() || r.ptr - buf > 29)
    r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific,
                      6);
  return std::u16string(buf, r.ptr);
}

namespace {

class Printer {
 public:
  Printer(Interp& in, int start) : in_(in), pos_(start) {
    while (in.PrintBuffer[pos_] != 0) ++pos_;
  }

  // Appends piece when the counter, raised by cost, stays below the limit.
  bool Append(std::u16string_view piece, int cost) {
    in_.PrintCounter += cost;
    if (in_.PrintCounter >= PRINT_LIMIT) return false;
    for (char16_t c : piece) in_.PrintBuffer[pos_++] = c;
    in_.PrintBuffer[pos_] = 0;
    return true;
  }

  // An atom as an element ("x ") or as the tail of a pair (". x ").
  bool Atom(Ref cell, bool asTail) {
    std::u16string text;
    const Cell& c = LiveCell(in_, cell);
    if (c.tag == TAG_SYMBOL) {
      if (asTail && c.car == 0) return true;  // NIL ends a list
      text = NameText(in_, c.car);
    } else if (c.tag == TAG_NUMBER) {
      text = FormatNumber(in_.numbers[c.car].value);
    } else {
      return true;  // a Cell of no known kind prints as nothing
    }
    int cost = int(text.size()) + (asTail ? 3 : 1);
    if (asTail) text.insert(0, u". ");
    text += u' ';
    return Append(text, cost);
  }

  bool Value(Ref cell) {
    std::vector<Ref> tails;  // the cdr still to print of each open list
    Ref next = cell;
    for (;;) {
      // Descend into cars, opening a list at each level.
      while (LiveCell(in_, next).tag == TAG_LIST) {
        if (!Append(u"(", 1)) return false;
        tails.push_back(LiveCell(in_, next).cdr);
        next = LiveCell(in_, next).car;
      }
      if (!Atom(next, false)) return false;
      // Finish lists whose tail is an atom; go on with a tail that is a list.
      for (;;) {
        if (tails.empty()) return true;
        Ref tail = tails.back();
        if (LiveCell(in_, tail).tag == TAG_LIST) {
          tails.back() = LiveCell(in_, tail).cdr;
          next = LiveCell(in_, tail).car;
          break;
        }
        tails.pop_back();
        if (!Atom(tail, true) || !Append(u")", 1)) return false;
      }
    }
  }

 private:
  Interp& in_;
  int pos_;
};

}  // namespace

bool PrintValue(Interp& in, Ref cell, int start) {
  return Printer(in, start).Value(cell);
}

std::u16string PrintToText(Interp& in, Ref cell) {
  in.PrintCounter = 0;
  in.PrintBuffer[0] = 0;
  PrintValue(in, cell, 0);
  return std::u16string(in.PrintBuffer);
}

}  // namespace vex
