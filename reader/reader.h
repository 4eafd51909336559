// Reader, printer and program loading: text to Cells and back.
#pragma once

#include <string>
#include <string_view>

#include "core/interp.h"

namespace vex {

// --- reader (reader.cpp) --------------------------------------------------

// The parenthesis pre-check of typed text: false for a text with nothing to
// run (no message) or with unbalanced parentheses (message shown).
bool CheckBalance(Interp& in, std::u16string_view text);
// Rewrites every quote prefix 'x as (quote x) in place. False after
// "Ｓ式が長すぎます" (the text is then to be dropped).
bool ExpandQuotes(Interp& in, std::u16string& text);
// Reads the first S-expression of text into Cells, pushing each list and
// number Cell as it is finished. ERROR_VALUE after a message.
Ref ParseText(Interp& in, std::u16string_view text);
// The value of a number token, as the C library's atof in the C locale reads
// its first 39 units (each narrowed to 8 bits), rounded to a float.
float TextToNumber(std::u16string_view token);
// True when a token is a number token: a digit, or "-" and a digit.
bool IsNumberToken(std::u16string_view token);

// --- the value printer (print_value.cpp) ----------------------------------

// Appends the printed form of cell to in.PrintBuffer from position start,
// counting in in.PrintCounter; false when the print limit stopped it. The
// buffer stays NUL-terminated.
bool PrintValue(Interp& in, Ref cell, int start);
// The "%f" text of a float, at most 29 units.
std::u16string FormatNumber(float value);
// PrintCounter := 0 and the printed form of cell as a text (for tests and
// hosts; uses the PrintBuffer).
std::u16string PrintToText(Interp& in, Ref cell);

// --- loader (loader.cpp) --------------------------------------------------

// Loads name + ".LSP" and evaluates its expressions in frame: T, or
// ERROR_VALUE after a message.
Ref LoadFile(Interp& in, std::u16string_view name, Frame& frame);

}  // namespace vex
