// Line files: writelc and readlc, and the save and load routines the window
// thread runs for them.
//
// Design note. A drawing record is saved as two text files, base + ".lin"
// with four numbers per segment and base + ".ar" with eight per arc, each
// number written as "%f" and one blank, with no line breaks, so an empty
// list gives an empty file. Reading scans the numbers as "%f" would and
// builds the records in front of one another, so they come back in reverse
// order. Content that stops being numbers, or ends inside a record, is cut at
// the last complete record: what was complete is kept, nothing is invented,
// and the scan always ends. The file work runs on the window thread while
// the program's thread waits in the send.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "core/messages.h"
#include "eval/builtins.h"
#include "memory/memory.h"
#include "turtle/turtle.h"

namespace vex {

bool RecordValues(Interp& in, Ref record, int count, float* values) {
  Ref r = record;
  for (int i = 0; i < count; ++i) {
    if (!IsList(in, r) || !IsNumber(in, Car(in, r))) return false;
    values[i] = NumberValue(in, Car(in, r));
    r = Cdr(in, r);
  }
  return true;
}

std::string LineFileNumber(float value) {
  // The widest "%f" of a float is 47 characters (-3.4e38 with six decimals).
  char text[64];
  int n = std::snprintf(text, sizeof text, "%f ", static_cast<double>(value));
  return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
}

// --- scanning ---------------------------------------------------------------

int NumberScanner::Peek() {
  if (ahead_ == -2) ahead_ = file_.Get();
  return ahead_;
}

void NumberScanner::Take(std::string& text) {
  text.push_back(static_cast<char>(Peek()));
  ahead_ = -2;
}

bool NumberScanner::TakeIf(std::string& text, const char* alternatives) {
  int c = Peek();
  if (c < 0) return false;
  for (const char* a = alternatives; *a != '\0'; ++a) {
    if (c == static_cast<unsigned char>(*a)) {
      Take(text);
      return true;
    }
  }
  return false;
}

bool NumberScanner::TakeWord(std::string& text, const char* word) {
  for (const char* w = word; *w != '\0'; ++w) {
    char upper[3] = {*w, static_cast<char>(*w - 'a' + 'A'), '\0'};
    if (!TakeIf(text, upper)) return false;
  }
  return true;
}

void NumberScanner::TakeDigits(std::string& text, bool hex) {
  while (TakeIf(text, hex ? "0123456789abcdefABCDEF" : "0123456789")) {
  }
}

namespace {

bool IsDigit(char c, bool hex) {
  return (c >= '0' && c <= '9') ||
         (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

// Whether the magnitude of a mantissa text ("12.5", "0.001", hex digits)
// scaled by its exponent is 1 or more. Used only for texts whose value does
// not fit a float, to tell an overflow from an underflow.
bool AtLeastOne(std::string_view mantissa, int64_t exponent, bool hex) {
  size_t point = mantissa.find('.');
  size_t intDigits = point == std::string_view::npos ? mantissa.size() : point;
  // The place of the first significant digit: 0 for units, -1 for tenths.
  auto order = static_cast<int64_t>(intDigits) - 1;
  for (char c : mantissa) {
    if (c == '.') continue;
    if (c != '0') break;
    --order;
  }
  return (hex ? order * 4 : order) + exponent >= 0;
}

// The float a complete number text stands for, rounded to nearest as
// scanning does; out-of-range values become infinities or zeros.
float TextValue(const std::string& text) {
  std::string_view t(text);
  bool negative = !t.empty() && t[0] == '-';
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
  float sign = negative ? -1.0f : 1.0f;
  char first = t.empty() ? '\0' : static_cast<char>(t[0] | 0x20);
  if (first == 'i') return sign * std::numeric_limits<float>::infinity();
  if (first == 'n') return sign * std::numeric_limits<float>::quiet_NaN();
  bool hex = t.size() > 1 && t[0] == '0' && (t[1] | 0x20) == 'x';
  if (hex) t.remove_prefix(2);
  size_t e = t.find_first_of(hex ? "pP" : "eE");
  std::string_view mantissa = t.substr(0, e);
  float value = 0;
  auto format = hex ? std::chars_format::hex : std::chars_format::general;
  auto result = std::from_chars(t.data(), t.data() + t.size(), value, format);
  if (result.ec == std::errc::result_out_of_range) {
    int64_t exponent = 0;
    if (e != std::string_view::npos) {
      std::string_view digits = t.substr(e + 1);
      bool down = !digits.empty() && digits[0] == '-';
      for (char c : digits) {
        if (IsDigit(c, false) && exponent < 1000000000)
          exponent = exponent * 10 + (c - '0');
      }
      if (down) exponent = -exponent;
    }
    value = AtLeastOne(mantissa, exponent, hex)
                ? std::numeric_limits<float>::infinity()
                : 0.0f;
  }
  return sign * value;
}

}  // namespace

NumberScanner::Result NumberScanner::Next(float& value) {
  while (Peek() == ' ' || (Peek() >= '\t' && Peek() <= '\r')) ahead_ = -2;
  if (Peek() < 0) return Result::End;
  std::string text;
  TakeIf(text, "+-");
  int c = Peek() | 0x20;
  if (c == 'i') {
    if (!TakeWord(text, "inf")) return Result::NotANumber;
    if ((Peek() | 0x20) == 'i' && !TakeWord(text, "inity"))
      return Result::NotANumber;
  } else if (c == 'n') {
    if (!TakeWord(text, "nan")) return Result::NotANumber;
    if (TakeIf(text, "(")) {
      while (TakeIf(text,
                    "0123456789_abcdefghijklmnopqrstuvwxyz"
                    "ABCDEFGHIJKLMNOPQRSTUVWXYZ")) {
      }
      if (!TakeIf(text, ")")) return Result::NotANumber;
    }
  } else {
    bool hex = false;
    size_t start = text.size();
    if (TakeIf(text, "0") && TakeIf(text, "xX")) {
      hex = true;
      start = text.size();
    }
    TakeDigits(text, hex);
    if (TakeIf(text, ".")) TakeDigits(text, hex);
    size_t digits = 0;
    for (size_t i = start; i < text.size(); ++i)
      digits += IsDigit(text[i], hex) ? 1 : 0;
    if (digits == 0) return Result::NotANumber;
    if (TakeIf(text, hex ? "pP" : "eE")) {
      TakeIf(text, "+-");
      size_t before = text.size();
      TakeDigits(text, false);
      if (text.size() == before) return Result::NotANumber;
    }
  }
  value = TextValue(text);
  return Result::Number;
}

// --- the routines of the window thread ---------------------------------------

namespace {

// The file name base + extension, or an empty text when the base does not
// leave room for the extension and the terminator in the name buffer.
std::u16string FileName(std::u16string_view base, std::u16string_view ext) {
  if (base.size() + ext.size() + 1 > static_cast<size_t>(NAME_BUFFER_UNITS))
    return std::u16string();
  return std::u16string(base) + std::u16string(ext);
}

// The base name PendingName stands for; false after the message when it is
// not a symbol or too long for the name buffers.
bool PendingBase(Interp& in, std::u16string_view& base) {
  Ref name = in.PendingName;
  if (Tag(in, name) == TAG_SYMBOL) {
    base = NameText(in, SymbolName(in, name));
    if (!FileName(base, u".lin").empty()) return true;
  }
  ShowError(in, msg::BAD_FILE_NAME);
  return false;
}

// Writes the well-formed records of list with count numbers each; false
// when an element was malformed or a write failed.
bool SaveRecords(Interp& in, Ref list, int count, HostFile& file) {
  bool ok = true;
  bool whole = WalkList(in, list, [&](Ref record) {
    float values[8];
    if (!RecordValues(in, record, count, values)) {
      ok = false;
      return;
    }
    std::string text;
    for (int i = 0; i < count; ++i) text += LineFileNumber(values[i]);
    if (!file.Put(text)) ok = false;
  });
  return ok && whole;
}

void SaveRoutine(Interp& in) {
  in.PrintResult = 0;
  std::u16string_view base;
  if (!PendingBase(in, base)) return;
  auto lines = in.host.OpenFile(FileName(base, u".lin"), FileMode::WriteText);
  auto arcs =
      lines ? in.host.OpenFile(FileName(base, u".ar"), FileMode::WriteText)
            : nullptr;
  if (!lines || !arcs) {
    ShowError(in, msg::CANNOT_OPEN_FILE);
    return;
  }
  bool linesOk = SaveRecords(in, in.PendingLines, 4, *lines);
  bool arcsOk = SaveRecords(in, in.PendingArcs, 8, *arcs);
  in.PrintResult = linesOk && arcsOk ? 1 : 0;
}

// The records of a line file, last record first, cut at the last complete
// one; ERROR_VALUE when the areas ran out.
Ref LoadRecords(Interp& in, HostFile& file, int count) {
  NumberScanner scanner(file);
  Ref list = in.NIL;
  for (;;) {
    float values[8];
    int got = 0;
    while (got < count &&
           scanner.Next(values[got]) == NumberScanner::Result::Number) {
      ++got;
    }
    if (got < count) return list;
    Ref record = in.NIL;
    for (int i = count - 1; i >= 0; --i) {
      Ref number = MakeNumber(in, values[i]);
      if (number == ERROR_VALUE) return ERROR_VALUE;
      record = MakeList(in, number, record);
      if (record == ERROR_VALUE) return ERROR_VALUE;
    }
    list = MakeList(in, record, list);
    if (list == ERROR_VALUE) return ERROR_VALUE;
  }
}

void LoadRoutine(Interp& in) {
  in.ReadResult = in.NIL;
  std::u16string_view base;
  if (!PendingBase(in, base)) return;
  auto lines = in.host.OpenFile(FileName(base, u".lin"), FileMode::ReadText);
  auto arcs = lines
                  ? in.host.OpenFile(FileName(base, u".ar"), FileMode::ReadText)
                  : nullptr;
  if (!lines || !arcs) {
    ShowError(in, msg::CANNOT_OPEN_FILE);
    in.ReadResult = ERROR_VALUE;
    return;
  }
  Ref lineList = LoadRecords(in, *lines, 4);
  Ref arcList =
      lineList == ERROR_VALUE ? ERROR_VALUE : LoadRecords(in, *arcs, 8);
  Ref tail =
      arcList == ERROR_VALUE ? ERROR_VALUE : MakeList(in, arcList, in.NIL);
  in.ReadResult =
      tail == ERROR_VALUE ? ERROR_VALUE : MakeList(in, lineList, tail);
}

}  // namespace

Ref BuiltinWritelc(Interp& in, CallArgs& a) {
  in.PendingLines = a.v[0];
  in.PendingArcs = a.v[1];
  in.PendingName = a.v[2];
  // A command that never ran (the window went away) reads as a failure.
  in.PrintResult = 0;
  RoutineWork<SaveRoutine> work(in);
  in.host.RunOnWindowThread(WindowJob::SaveLines, work);
  return in.PrintResult ? in.T : in.NIL;
}

Ref BuiltinReadlc(Interp& in, CallArgs& a) {
  in.PendingName = a.v[0];
  in.ReadResult = ERROR_VALUE;
  RoutineWork<LoadRoutine> work(in);
  in.host.RunOnWindowThread(WindowJob::LoadLines, work);
  return in.ReadResult;
}

}  // namespace vex
