// Memory: the areas of Cells, numbers and names, the variable and function
// tables, the two root stacks and the collector.
#pragma once

#include <algorithm>
#include <string_view>

#include "core/assert.h"
#include "core/interp.h"

namespace vex {

// --- areas (memory.cpp) ---------------------------------------------------

// Reserves every area and table, makes NIL and T and enters them as the
// first two global variables. On failure shows the message, asks the host to
// close and returns false.
bool InitMemory(Interp& in);
// Gives every touched Cell and NumberSlot the free mark.
void ResetMarks(Interp& in);
// The indices (from 0) of the last Cell and NumberSlot, never handed out.
constexpr uint32_t LAST_CELL = CELL_CAPACITY - 1;
constexpr uint32_t LAST_SLOT = NUMBER_CAPACITY - 1;

// The free Cells and NumberSlots, and the allocations left until the wrap
// flag comes (see Interp).
[[gnu::always_inline]] inline int32_t FreeCells(const Interp& in) {
  return int32_t(in.freeCellsEnd - in.cellCursor);
}
[[gnu::always_inline]] inline int32_t FreeNumbers(const Interp& in) {
  return int32_t(in.freeNumbersEnd - in.numberCursor);
}
inline uint32_t WrapCountdown(const Interp& in) {
  return in.wrapEnd - in.cellCursor;
}
// Set them where the cursors stand: the recount of a collection, and tests.
inline void SetFreeCells(Interp& in, int32_t count) {
  in.freeCellsEnd = in.cellCursor + uint32_t(count);
}
inline void SetFreeNumbers(Interp& in, int32_t count) {
  in.freeNumbersEnd = in.numberCursor + uint32_t(count);
}
inline void SetWrapCountdown(Interp& in, uint32_t count) {
  in.wrapEnd = in.cellCursor + count;
}
// Move a cursor without taking anything: the counts stay as they are.
inline void MoveCellCursor(Interp& in, uint32_t to) {
  in.freeCellsEnd += to - in.cellCursor;
  in.wrapEnd += to - in.cellCursor;
  in.cellCursor = to;
}
inline void MoveNumberCursor(Interp& in, uint32_t to) {
  in.freeNumbersEnd += to - in.numberCursor;
  in.numberCursor = to;
}
// The allocations the inline allocators below do not finish themselves: a
// full area, the wrap flag's allocation, a search past elements in use, the
// end of the touched part, or a Cell a decoded body was read from.
[[gnu::noinline, gnu::cold]] Ref AllocCellSlow(Interp& in);
[[gnu::noinline, gnu::cold]] int32_t AllocNumberSlotSlow(Interp& in,
                                                         float value);

// True when a decoded function body was read from the Cell. Cells above
// every such Cell are not looked up, so the map's pages stay untouched
// where no code lies.
[[gnu::always_inline]] inline bool IsCodeCell(const Interp& in, Ref cell) {
  return cell < in.codeCellsHigh && in.codeCells[cell] != 0;
}

// The allocations' common case: the element under the cursor is free and
// taking it needs nothing else (the area is not nearly full, the wrap flag
// does not come with it, the cursor does not wrap or pass the touched part
// of the area). All but the element's own state come down to the cursor
// staying below a limit that taking elements this way leaves where it is, as
// the cursor and the counts move together. A free Cell is never one a decoded
// body reads: the marking that freed it retired the bodies.
[[gnu::always_inline]] inline bool CellUnderCursorIsTakeable(const Interp& in) {
  uint32_t index = in.cellCursor;
  return index + 1 < in.cellFastEnd && in.cells[index + 1].mark != MARK_USED;
}
[[gnu::always_inline]] inline bool SlotUnderCursorIsTakeable(const Interp& in) {
  uint32_t index = in.numberCursor;
  return index + 1 < in.slotFastEnd && in.numbers[index].mark != MARK_USED;
}
// The same after moving the cursor over the elements in use under it, while
// the limit allows: the search would pass them too, and passing them only
// puts the limit's true place further on than where it stands. The slow
// paths start with this.
bool PassUsedCells(Interp& in);
bool PassUsedSlots(Interp& in);
// Sets those limits from the cursors and counts; called by everything else
// that moves a cursor or changes a count (the slow paths, the collector, and
// a test that sets them itself).
void ResetAllocationLimits(Interp& in);
// Takes the element under the cursor (see above) and moves the cursor on,
// which takes one from its counts.
[[gnu::always_inline]] inline Ref TakeCellUnderCursor(Interp& in) {
  uint32_t index = in.cellCursor;
  VEX_ASSERT(!IsCodeCell(in, index + 1) && "a free Cell is no decoded code");
  in.cellCursor = index + 1;
  in.cells[index + 1].mark = MARK_USED;
  return index + 1;
}
[[gnu::always_inline]] inline int32_t TakeSlotUnderCursor(Interp& in,
                                                          float value) {
  uint32_t index = in.numberCursor;
  in.numberCursor = index + 1;
  in.numbers[index] = NumberSlot{MARK_USED, value};
  return int32_t(index);
}

// A Cell marked in use, or ERROR_VALUE after the fatal message.
[[gnu::always_inline]] inline Ref AllocCell(Interp& in) {
  return CellUnderCursorIsTakeable(in) ? TakeCellUnderCursor(in)
                                       : AllocCellSlow(in);
}
// The index of a NumberSlot holding value, or -1 after the fatal message.
[[gnu::always_inline]] inline int32_t AllocNumberSlot(Interp& in, float value) {
  return SlotUnderCursorIsTakeable(in) ? TakeSlotUnderCursor(in, value)
                                       : AllocNumberSlotSlow(in, value);
}
// After a collection or a reclaim has recounted the free elements (which
// were freeCells and freeNumbers before it): allocation starts again at the
// front of each area, and the schedule of the next reclaim is set
// (memory.cpp says how far it lies).
void ScheduleReclaim(Interp& in, int32_t freeCells, int32_t freeNumbers);
// Sets the free counts below which a safe point reclaims, and the points of
// a named call's with them.
inline void SetReclaimPoints(Interp& in, int32_t cells, int32_t numbers) {
  in.reclaimCells = cells;
  in.reclaimNumbers = numbers;
  in.callPointCells = std::max(cells, GC_THRESHOLD);
  in.callPointNumbers = std::max(numbers, GC_THRESHOLD);
}
// A number Cell holding value, or ERROR_VALUE. Both elements are looked at
// before either is taken, so the common case makes no test twice.
[[gnu::noinline, gnu::cold]] Ref MakeNumberSlow(Interp& in, float value);
[[gnu::always_inline]] inline Ref MakeNumber(Interp& in, float value) {
  if (!CellUnderCursorIsTakeable(in) || !SlotUnderCursorIsTakeable(in))
    return MakeNumberSlow(in, value);
  Ref c = TakeCellUnderCursor(in);
  Cell& cell = in.cells[c];
  cell.tag = TAG_NUMBER;
  cell.car = uint32_t(TakeSlotUnderCursor(in, value));
  return c;
}
// A Cell a decoded body has read is stored into: every decoded body is
// retired. (A marking that frees such a Cell retires them too.)
[[gnu::noinline, gnu::cold]] void ForgetCodeCell(Interp& in, Ref cell);
// Stores into the car or the cdr of a list Cell the program already holds.
inline void StoreCar(Interp& in, Ref cell, Ref value) {
  if (IsCodeCell(in, cell)) ForgetCodeCell(in, cell);
  in.cells[cell].car = value;
}
inline void StoreCdr(Interp& in, Ref cell, Ref value) {
  if (IsCodeCell(in, cell)) ForgetCodeCell(in, cell);
  in.cells[cell].cdr = value;
}
// A new symbol Cell of an interned name, or ERROR_VALUE.
Ref MakeSymbol(Interp& in, NameRef name);
// A new list Cell (car . cdr), or ERROR_VALUE.
inline Ref MakeList(Interp& in, Ref car, Ref cdr) {
  Ref c = AllocCell(in);
  if (c == ERROR_VALUE) return ERROR_VALUE;
  in.cells[c] = Cell{TAG_LIST, MARK_USED, car, cdr};
  return c;
}
// The row (1..64) of the built-in named name (core/builtins.def), or 0.
int BuiltinRowOf(std::u16string_view name);
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
// The one way an operation fails: shows its message and returns
// ERROR_VALUE, which every caller passes up without a message of its own.
[[gnu::cold]] Ref Fail(Interp& in, const char16_t* text);
// Shows a fatal message and asks the window to close.
void Fatal(Interp& in, const char16_t* text);

// --- small accessors ------------------------------------------------------

// A Cell the program still holds. In the collector stress build every
// access through these accessors checks that the Cell is in use, so a value
// the collector freed because nothing rooted it fails at once.
#ifdef VEX_GC_STRESS
[[noreturn]] void StaleReference(Interp& in, Ref r);
[[gnu::always_inline]] inline const Cell& LiveCell(Interp& in, Ref r) {
  const Cell& c = in.cells[r];
  if (c.mark != MARK_USED) StaleReference(in, r);
  return c;
}
#else
[[gnu::always_inline]] inline const Cell& LiveCell(Interp& in, Ref r) {
  return in.cells[r];
}
#endif

[[gnu::always_inline]] inline uint16_t Tag(Interp& in, Ref r) {
  return LiveCell(in, r).tag;
}
[[gnu::always_inline]] inline bool IsList(Interp& in, Ref r) {
  return Tag(in, r) == TAG_LIST;
}
[[gnu::always_inline]] inline bool IsNumber(Interp& in, Ref r) {
  return Tag(in, r) == TAG_NUMBER;
}
[[gnu::always_inline]] inline bool IsSymbol(Interp& in, Ref r) {
  return Tag(in, r) == TAG_SYMBOL;
}
[[gnu::always_inline]] inline Ref Car(Interp& in, Ref r) {
  return LiveCell(in, r).car;
}
[[gnu::always_inline]] inline Ref Cdr(Interp& in, Ref r) {
  return LiveCell(in, r).cdr;
}
[[gnu::always_inline]] inline float NumberValue(Interp& in, Ref r) {
  return in.numbers[LiveCell(in, r).car].value;
}
[[gnu::always_inline]] inline NameRef SymbolName(Interp& in, Ref r) {
  return LiveCell(in, r).car;
}
// False is any symbol named "NIL" (its name is interned first, at offset 0).
[[gnu::always_inline]] inline bool IsNil(Interp& in, Ref r) {
  const Cell& c = LiveCell(in, r);
  return c.tag == TAG_SYMBOL && c.car == 0;
}
std::u16string_view NameText(Interp& in, NameRef name);

// --- root stacks (stacks.cpp) ---------------------------------------------

// The fatal end of a CellStack push; false.
bool CellStackFull(Interp& in);
// Pushes a Cell or the null marker; false after the fatal message.
[[gnu::always_inline]] inline bool PushCell(Interp& in, Ref cell) {
  if (in.cellTop >= uint32_t(CELL_STACK_CAPACITY - 1)) return CellStackFull(in);
  in.cellStack[in.cellTop++] = cell;
  return true;
}
// The fatal end of a LocalStack push; false.
bool LocalStackFull(Interp& in);
// Pushes the LocalStack marker (0), then one entry per Binding of the
// Frame; false after the fatal message. Each push is tested on its own: on
// a full stack the entries pushed before the refused one stay. Away from the
// end all of them fit at once, and one test does.
bool PushFrameOneByOne(Interp& in, const Frame& frame);
[[gnu::always_inline]] inline bool PushFrame(Interp& in, const Frame& frame) {
  uint32_t top = in.localTop;
  uint32_t n = uint32_t(frame.count);
  if (top + n + 1 >= uint32_t(LOCAL_STACK_CAPACITY - 1))
    return PushFrameOneByOne(in, frame);
  uint32_t* stack = in.localStack + top;
  uint32_t base = frame.base;
  stack[0] = 0;
  // Most Frames hold one to four Bindings: those need no loop.
  switch (n) {
    case 4:
      stack[4] = base + 4;
      [[fallthrough]];
    case 3:
      stack[3] = base + 3;
      [[fallthrough]];
    case 2:
      stack[2] = base + 2;
      [[fallthrough]];
    case 1:
      stack[1] = base + 1;
      [[fallthrough]];
    case 0:
      break;
    default:
      for (uint32_t i = 0; i < n; ++i) stack[i + 1] = base + i + 1;
  }
  in.localTop = top + n + 1;
  return true;
}
// Pops the CellStack down to and including the nearest marker.
void PopCellsToMarker(Interp& in);

// --- collector (collector.cpp) --------------------------------------------

// Frees every Cell and NumberSlot unreachable from the roots, recounts the
// free ones and shows the counts in the title: the program's (gc), and a
// named call that finds an area nearly full.
void Collect(Interp& in);
// The same without the title: the reclaim of the safe points, whenever the
// schedule asks for one. A run that is being stopped (interrupted, or the
// window closing) may give a long marking up: then everything touched counts
// as in use until the next reclaim, which the next safe point makes, and the
// result is false (Collect shows no counts then).
bool Reclaim(Interp& in);
inline bool ReclaimDue(const Interp& in) {
  return FreeCells(in) < in.reclaimCells || FreeNumbers(in) < in.reclaimNumbers;
}
// The collector stress build's reclaim at every safe point, which also
// poisons everything it freed.
void CollectForStress(Interp& in);

}  // namespace vex
