// Memory: the areas of Cells, numbers and names, the variable and function
// tables, the two root stacks and the collector.
#pragma once

#include <string_view>

#include "core/interp.h"

namespace vex {

// --- areas (memory.cpp) ---------------------------------------------------

// Reserves every area and table, makes NIL and T and enters them as the
// first two global variables. On failure shows the message, asks the host to
// close and returns false.
bool InitMemory(Interp& in);
// Gives every touched Cell and NumberSlot the free mark.
void ResetMarks(Interp& in);
// A Cell marked in use, or ERROR_VALUE after the fatal message.
Ref AllocCell(Interp& in);
// The index of a NumberSlot holding value, or -1 after the fatal message.
int32_t AllocNumberSlot(Interp& in, float value);
// After a collection or an early reclaim that found usedCells and
// usedNumbers in use: allocation starts again at the front of each area, and
// the next early reclaim comes after at least as many allocations as are in
// use (and not fewer than RECLAIM_CELLS or RECLAIM_NUMBERS).
void ScheduleReclaim(Interp& in, int32_t usedCells, int32_t usedNumbers);
// A number Cell holding value, or ERROR_VALUE.
Ref MakeNumber(Interp& in, float value);
// A new symbol Cell of an interned name, or ERROR_VALUE.
Ref MakeSymbol(Interp& in, NameRef name);
// A new list Cell (car . cdr), or ERROR_VALUE.
Ref MakeList(Interp& in, Ref car, Ref cdr);
// The StringArea copy of name, appended when new; NO_NAME after the fatal
// message when it does not fit.
NameRef InternName(Interp& in, std::u16string_view name);
// GlobalTable index of name, or -1.
int32_t FindGlobal(Interp& in, NameRef name);
// GlobalTable index of name, appended when absent; -1 after a fatal message.
int32_t FindOrAddGlobal(Interp& in, NameRef name);
// The FunctionTable entry of name, appended (empty) when absent; nullptr
// after the fatal message.
FunctionEntry* FindOrAddFunction(Interp& in, NameRef name);
// The function named name, or nullptr.
FunctionEntry* FindFunction(Interp& in, NameRef name);

// Shows a message captioned "エラー".
void ShowError(Interp& in, const char16_t* text);
// Shows a fatal message and asks the window to close.
void Fatal(Interp& in, const char16_t* text);

// --- small accessors ------------------------------------------------------

// A Cell the program still holds. In the collector stress build every
// access through these accessors checks that the Cell is in use, so a value
// the collector freed because nothing rooted it fails at once.
#ifdef VEX_GC_STRESS
[[noreturn]] void StaleReference(Interp& in, Ref r);
inline const Cell& LiveCell(Interp& in, Ref r) {
  const Cell& c = in.cells[r];
  if (c.mark != MARK_USED) StaleReference(in, r);
  return c;
}
#else
inline const Cell& LiveCell(Interp& in, Ref r) { return in.cells[r]; }
#endif

inline uint16_t Tag(Interp& in, Ref r) { return LiveCell(in, r).tag; }
inline bool IsList(Interp& in, Ref r) { return Tag(in, r) == TAG_LIST; }
inline bool IsNumber(Interp& in, Ref r) { return Tag(in, r) == TAG_NUMBER; }
inline bool IsSymbol(Interp& in, Ref r) { return Tag(in, r) == TAG_SYMBOL; }
inline Ref Car(Interp& in, Ref r) { return LiveCell(in, r).car; }
inline Ref Cdr(Interp& in, Ref r) { return LiveCell(in, r).cdr; }
inline float NumberValue(Interp& in, Ref r) {
  return in.numbers[LiveCell(in, r).car].value;
}
inline NameRef SymbolName(Interp& in, Ref r) { return LiveCell(in, r).car; }
// False is any symbol named "NIL" (its name is interned first, at offset 0).
inline bool IsNil(Interp& in, Ref r) {
  const Cell& c = LiveCell(in, r);
  return c.tag == TAG_SYMBOL && c.car == 0;
}
std::u16string_view NameText(Interp& in, NameRef name);

// --- root stacks (stacks.cpp) ---------------------------------------------

// Pushes a Cell or the null marker; false after the fatal message.
bool CellStackFull(Interp& in);
inline bool PushCell(Interp& in, Ref cell) {
  if (in.cellTop >= uint32_t(CELL_STACK_CAPACITY - 1)) return CellStackFull(in);
  in.cellStack[in.cellTop++] = cell;
  return true;
}
// Pushes the marker (count 0 means the marker) or the Frame's Bindings;
// false after the fatal message.
bool PushLocalMarker(Interp& in);
bool PushLocals(Interp& in, const Frame& frame);
// Pops down to and including the nearest marker.
void PopCellsToMarker(Interp& in);
void PopLocalsToMarker(Interp& in);

// --- collector (collector.cpp) --------------------------------------------

// Frees every Cell and NumberSlot unreachable from the roots and shows the
// counts in the title.
void Collect(Interp& in);
// Early reclaiming at a named call: frees what is unreachable without
// touching the free counts or the title, so the program's own collections,
// its full areas and its wrap flag come exactly as they would; only the
// memory the program touches stays small.
void Reclaim(Interp& in);
// The collector stress build's reclaim before every named call, which also
// poisons everything it freed.
void CollectForStress(Interp& in);

}  // namespace vex
