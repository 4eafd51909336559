// The fixed areas: Cells, NumberSlots, names, global variables, functions.
//
// Design note. Every area is reserved once through the host (calloc unless
// the host knows better), which hands out zero pages without touching them, so
// a 384 MB CellArea costs nothing until Cells are used. A zero-filled Cell has
// mark 0, which is not MARK_USED and so counts as free: the allocators treat
// "not in use" as free, and the collector's reset pass covers only [0, high),
// a bound (moved ahead in steps) of the part of an area that allocation has
// ever examined. Observable behaviour (the wrap flag, the free counts, a full
// area) is that of a fully reset area; where an element is found is not
// observable, which lets early reclaiming (collector.cpp) send the cursors back
// to the front.
//
// Names are interned in the StringArea exactly as the byte accounting says;
// a hash index from text to offset and the NameInfo side table make interning
// and the lookup of a name's built-in, variable and function constant-time.
#include "memory/memory.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <unordered_map>

#include "core/messages.h"

namespace vex {

namespace {

constexpr uint32_t STRING_UNITS = STRING_AREA_BYTES / 2;

// The row (1..64) of each built-in name, the first row of a name winning;
// built once, read-only afterwards.
const std::unordered_map<std::u16string_view, int>& BuiltinRows() {
  static const auto* rows = [] {
    static constexpr std::u16string_view names[] = {
#define VEX_BUILTIN(name, mode, minArgs, handler) name,
#include "core/builtins.def"
#undef VEX_BUILTIN
    };
    auto* m = new std::unordered_map<std::u16string_view, int>();
    for (int i = int(std::size(names)) - 1; i >= 0; --i) (*m)[names[i]] = i + 1;
    return m;
  }();
  return *rows;
}

// Calls visit(slot, count, failure, use) for every area in the order of
// reservation: the area's pointer, its element count, the message of a
// failed reservation and how the area is used. Stops at the first visit
// that returns false.
template <typename Visit>
bool ForEachArea(Interp& in, Visit visit) {
  constexpr AreaUse swept = AreaUse::Swept, sparse = AreaUse::Sparse;
  return visit(in.cells, size_t(CELL_CAPACITY) + 1, msg::CELL_AREA_FAILED,
               swept) &&
         visit(in.strings, size_t(STRING_UNITS), msg::STRING_AREA_FAILED,
               sparse) &&
         visit(in.numbers, size_t(NUMBER_CAPACITY), msg::NUMBER_AREA_FAILED,
               swept) &&
         visit(in.globals, size_t(TABLE_CAPACITY), msg::GLOBAL_AREA_FAILED,
               sparse) &&
         visit(in.functions, size_t(TABLE_CAPACITY), msg::FUNCTION_AREA_FAILED,
               sparse) &&
         visit(in.cellStack, size_t(CELL_STACK_CAPACITY),
               msg::CELL_STACK_AREA_FAILED, swept) &&
         visit(in.localStack, size_t(LOCAL_STACK_CAPACITY),
               msg::LOCAL_STACK_AREA_FAILED, sparse) &&
         // The interpreter's own tables: a failure ends start-up as one.
         visit(in.names, size_t(STRING_UNITS), msg::INIT_FAILED, sparse) &&
         visit(in.bindings, size_t(BINDING_ARENA_CAPACITY), msg::INIT_FAILED,
               sparse) &&
         visit(in.codeCells, size_t(CELL_CAPACITY) + 1, msg::INIT_FAILED,
               sparse) &&
         visit(in.code, size_t(CODE_CAPACITY), msg::INIT_FAILED, sparse);
}

}  // namespace

Interp::~Interp() {
  ForEachArea(*this, [&](auto*& slot, size_t count, const char16_t*, AreaUse) {
    if (slot != nullptr) host.ReleaseArea(slot, count * sizeof(*slot));
    return true;
  });
}

// Once a fatal condition has asked the window to close, the evaluation only
// unwinds: no further message is shown and no second close is requested.
void ShowError(Interp& in, const char16_t* text) {
  if (!in.closing) in.host.ShowMessage(msg::CAPTION_ERROR, text);
}

Ref Fail(Interp& in, const char16_t* text) {
  ShowError(in, text);
  return ERROR_VALUE;
}

void Fatal(Interp& in, const char16_t* text) {
  if (in.closing) return;
  ShowError(in, text);
  in.closing = true;
  in.host.RequestClose();
}

std::u16string_view NameText(Interp& in, NameRef name) {
  return std::u16string_view(in.strings + name);
}

bool InitMemory(Interp& in) {
  bool reserved = ForEachArea(
      in, [&](auto*& slot, size_t count, const char16_t* failure, AreaUse use) {
        using Element = std::remove_reference_t<decltype(*slot)>;
        slot = static_cast<Element*>(
            in.host.ReserveArea(count * sizeof(Element), use));
        if (slot == nullptr) Fatal(in, failure);
        return slot != nullptr;
      });
  if (!reserved) return false;
  in.cellCursor = in.cellHigh = 0;
  in.numberCursor = in.numberHigh = 0;
  SetFreeCells(in, CELL_CAPACITY);
  SetFreeNumbers(in, NUMBER_CAPACITY);
  SetWrapCountdown(in, CELL_CAPACITY - 1);
  in.scheduledFreeCells = CELL_CAPACITY;
  in.scheduledFreeNumbers = NUMBER_CAPACITY;
  ScheduleReclaim(in, CELL_CAPACITY, NUMBER_CAPACITY);
  in.cellTop = in.localTop = in.bindingTop = 0;
  in.stringTop = 0;
  in.globalCount = in.functionCount = 0;

  NameRef nilName = InternName(in, u"NIL");
  in.NIL = nilName == NO_NAME ? ERROR_VALUE : MakeSymbol(in, nilName);
  NameRef tName = InternName(in, u"T");
  in.T = tName == NO_NAME ? ERROR_VALUE : MakeSymbol(in, tName);
  if (in.NIL == ERROR_VALUE || in.T == ERROR_VALUE) {
    Fatal(in, msg::INIT_FAILED);
    return false;
  }
  const Ref constants[] = {in.NIL, in.T};
  for (Ref c : constants) {
    int32_t g = FindOrAddGlobal(in, SymbolName(in, c));
    if (g < 0) {
      Fatal(in, msg::INIT_FAILED);
      return false;
    }
    in.globals[g].value = c;
  }
  return true;
}

namespace {

// Sets the mark of every element in [first, end). Every reclaim runs this
// over the touched part of both areas, some hundred thousand elements, so
// the loop is unrolled by hand: the compiler's own loop spent seven
// instructions per Cell.
template <typename Element>
void SetMarks(Element* first, Element* end, uint16_t mark) {
  Element* p = first;
  for (; end - p >= 4; p += 4) {
    p[0].mark = mark;
    p[1].mark = mark;
    p[2].mark = mark;
    p[3].mark = mark;
  }
  for (; p != end; ++p) p->mark = mark;
}

}  // namespace

void ResetMarks(Interp& in) {
  SetMarks(in.cells + 1, in.cells + in.cellHigh + 1, MARK_FREE);
  SetMarks(in.numbers, in.numbers + in.numberHigh, MARK_FREE);
}

namespace {

// How far a search that passes the touched part of an area moves its
// bound ahead, so that the common case of allocation need not move it.
constexpr uint32_t HIGH_STEP = 4096;

// The next-fit search from the cursor, wrapping at the last Cell. It moves
// the cursor by itself: the caller sets the counts again.
Ref SearchCell(Interp& in) {
  // Most of the search passes Cells in use within the touched part, short
  // of the wrap: that stretch is passed in a loop of its own.
  uint32_t start = in.cellCursor;
  uint32_t passed = start;
  uint32_t bound = std::min(in.cellHigh, LAST_CELL - 1);
  const Cell* cells = in.cells;
  while (passed < bound && cells[passed + 1].mark == MARK_USED) ++passed;
  in.cellCursor = passed;
  for (uint32_t examined = passed - start; examined < LAST_CELL; ++examined) {
    uint32_t index = in.cellCursor;
    if (index >= in.cellHigh)
      in.cellHigh = std::min(index + HIGH_STEP, LAST_CELL);
    if (++in.cellCursor == LAST_CELL) in.cellCursor = 0;
    Cell& c = in.cells[index + 1];
    if (c.mark != MARK_USED) {
      c.mark = MARK_USED;
      VEX_ASSERT(!IsCodeCell(in, index + 1) &&
                 "a free Cell is no decoded code");
      return index + 1;
    }
  }
  Fatal(in, msg::CELL_AREA_FULL);
  return ERROR_VALUE;
}

// The same for a NumberSlot.
int32_t SearchNumberSlot(Interp& in) {
  uint32_t start = in.numberCursor;
  uint32_t passed = start;
  uint32_t bound = std::min(in.numberHigh, LAST_SLOT - 1);
  const NumberSlot* slots = in.numbers;
  while (passed < bound && slots[passed].mark == MARK_USED) ++passed;
  in.numberCursor = passed;
  for (uint32_t examined = passed - start; examined < LAST_SLOT; ++examined) {
    uint32_t index = in.numberCursor;
    if (index >= in.numberHigh)
      in.numberHigh = std::min(index + HIGH_STEP, LAST_SLOT);
    if (++in.numberCursor == LAST_SLOT) in.numberCursor = 0;
    NumberSlot& s = in.numbers[index];
    if (s.mark != MARK_USED) {
      s.mark = MARK_USED;
      return int32_t(index);
    }
  }
  Fatal(in, msg::NUMBER_AREA_FULL);
  return -1;
}

}  // namespace

bool PassUsedCells(Interp& in) {
  uint32_t index = in.cellCursor;
  const uint32_t end = in.cellFastEnd;
  const Cell* cells = in.cells;
  while (index + 1 < end && cells[index + 1].mark == MARK_USED) ++index;
  MoveCellCursor(in, index);
  return index + 1 < end;
}

bool PassUsedSlots(Interp& in) {
  uint32_t index = in.numberCursor;
  const uint32_t end = in.slotFastEnd;
  const NumberSlot* slots = in.numbers;
  while (index + 1 < end && slots[index].mark == MARK_USED) ++index;
  MoveNumberCursor(in, index);
  return index + 1 < end;
}

// The free counts are exact: every allocation takes one and a collection
// recounts. So the area is full exactly when the count says only the last
// element, never handed out, is free, wherever the cursor stands; and the
// wrap flag is set by the allocation that would bring a cursor moving one
// element per allocation to the last Cell. Neither depends on where the
// element is found, which leaves early reclaiming free to move the cursor.
// The inline allocators (memory.h) take the element under the cursor when
// nothing of this applies; everything else comes here.
Ref AllocCellSlow(Interp& in) {
  if (PassUsedCells(in)) return TakeCellUnderCursor(in);
  int32_t freeCells = FreeCells(in);
  if (freeCells <= 1) {
    Fatal(in, msg::CELL_AREA_FULL);
    return ERROR_VALUE;
  }
  uint32_t countdown = WrapCountdown(in);
  if (--countdown == 0) {
    in.WrapFlag = 1;
    // The flag stays for good; the countdown starts over only so that it
    // never again sends the common case here.
    countdown = LAST_CELL;
  }
  Ref found = SearchCell(in);
  SetFreeCells(in, found != ERROR_VALUE ? freeCells - 1 : freeCells);
  SetWrapCountdown(in, countdown);
  ResetAllocationLimits(in);
  return found;
}

int32_t AllocNumberSlotSlow(Interp& in, float value) {
  if (PassUsedSlots(in)) return TakeSlotUnderCursor(in, value);
  int32_t freeNumbers = FreeNumbers(in);
  if (freeNumbers <= 1) {
    Fatal(in, msg::NUMBER_AREA_FULL);
    return -1;
  }
  int32_t found = SearchNumberSlot(in);
  SetFreeNumbers(in, found < 0 ? freeNumbers : freeNumbers - 1);
  if (found < 0) return -1;
  in.numbers[found].value = value;
  ResetAllocationLimits(in);
  return found;
}

Ref MakeNumberSlow(Interp& in, float value) {
  Ref c = AllocCell(in);
  if (c == ERROR_VALUE) return ERROR_VALUE;
  int32_t slot = AllocNumberSlot(in, value);
  if (slot < 0) return ERROR_VALUE;
  in.cells[c].tag = TAG_NUMBER;
  in.cells[c].car = uint32_t(slot);
  return c;
}

void ForgetCodeCell(Interp& in, Ref cell) {
  in.codeCells[cell] = 0;
  ++in.codeEpoch;
}

namespace {

// How many elements may be taken from an area before the next reclaim,
// given what is free and what the last reclaim found: at least least, and
// at least twice as many as the Cells in use (a reclaim marks those), so
// that marking costs at most half a Cell's visit per allocation, however
// much the program holds; but at most half of what is free, so that a program
// keeps reclaiming as live data fills the area and the area is full only when
// live data fills it. When the last reclaim found little garbage in what had
// been made since the one before, the program is building data that a reclaim
// soon would only mark again: then seven eighths.
int32_t ReclaimBudget(int32_t free, int32_t least, int32_t usedCells,
                      int32_t made, int32_t freed) {
  int32_t share = freed < made / 8 ? free - free / 8 : free / 2;
  return std::min(std::max(least, 2 * usedCells), share);
}

}  // namespace

void ScheduleReclaim(Interp& in, int32_t cellsBefore, int32_t numbersBefore) {
  MoveCellCursor(in, 0);
  MoveNumberCursor(in, 0);
  int32_t freeCells = FreeCells(in);
  int32_t freeNumbers = FreeNumbers(in);
  int32_t usedCells = CELL_CAPACITY - freeCells;
  SetReclaimPoints(
      in,
      freeCells - ReclaimBudget(freeCells, RECLAIM_CELLS, usedCells,
                                in.scheduledFreeCells - cellsBefore,
                                freeCells - cellsBefore),
      freeNumbers - ReclaimBudget(freeNumbers, RECLAIM_NUMBERS, usedCells,
                                  in.scheduledFreeNumbers - numbersBefore,
                                  freeNumbers - numbersBefore));
  in.scheduledFreeCells = freeCells;
  in.scheduledFreeNumbers = freeNumbers;
  ResetAllocationLimits(in);
}

// With the cursor at c, the common case needs c + 1 < LAST_CELL, FreeCells
// > 1 (c + 1 < c + FreeCells) and a wrap countdown > 1 (c + 1 < c +
// countdown); each take adds one to c and takes one from both counts.
// It also stays within the touched part, whose bound it then need not move.
void ResetAllocationLimits(Interp& in) {
  uint32_t c = in.cellCursor;
  uint32_t freeCells = uint32_t(std::max(FreeCells(in), 0));
  in.cellFastEnd = std::min(
      {LAST_CELL, c + freeCells, c + WrapCountdown(in), in.cellHigh + 1});
  uint32_t s = in.numberCursor;
  uint32_t freeNumbers = uint32_t(std::max(FreeNumbers(in), 0));
  in.slotFastEnd = std::min({LAST_SLOT, s + freeNumbers, in.numberHigh + 1});
}

Ref MakeSymbol(Interp& in, NameRef name) {
  Ref c = AllocCell(in);
  if (c == ERROR_VALUE) return ERROR_VALUE;
  in.cells[c].tag = TAG_SYMBOL;
  in.cells[c].car = name;
  return c;
}

int BuiltinRowOf(std::u16string_view name) {
  const auto& rows = BuiltinRows();
  auto found = rows.find(name);
  return found == rows.end() ? 0 : found->second;
}

NameRef InternName(Interp& in, std::u16string_view name) {
  auto found = in.internIndex.find(name);
  if (found != in.internIndex.end()) return found->second;
  uint32_t bytesInUse = in.stringTop * 2;
  if (bytesInUse + 2 * name.size() + 4 >= size_t(STRING_AREA_BYTES)) {
    Fatal(in, msg::STRING_AREA_FULL);
    if (in.stringTop < STRING_UNITS) in.strings[in.stringTop] = 0;
    return NO_NAME;
  }
  NameRef at = in.stringTop;
  std::memcpy(in.strings + at, name.data(), name.size() * sizeof(char16_t));
  in.strings[at + name.size()] = 0;
  in.stringTop += uint32_t(name.size()) + 1;
  in.names[at].builtin = uint8_t(BuiltinRowOf(name));
  in.internIndex.emplace(std::u16string_view(in.strings + at, name.size()), at);
  return at;
}

int32_t FindGlobal(Interp& in, NameRef name) {
  return int32_t(in.names[name].global) - 1;
}

int32_t FindOrAddGlobal(Interp& in, NameRef name) {
  int32_t g = FindGlobal(in, name);
  if (g >= 0) return g;
  if (in.globalCount >= TABLE_CAPACITY - 1) {
    Fatal(in, msg::GLOBAL_TABLE_FULL);
    return -1;
  }
  g = in.globalCount++;
  in.globals[g] = Binding{name, in.NIL};
  in.names[name].global = uint16_t(g + 1);
  return g;
}

FunctionEntry* FindFunction(Interp& in, NameRef name) {
  uint16_t f = in.names[name].function;
  return f == 0 ? nullptr : &in.functions[f - 1];
}

FunctionEntry* FindOrAddFunction(Interp& in, NameRef name) {
  if (FunctionEntry* f = FindFunction(in, name)) return f;
  if (in.functionCount >= TABLE_CAPACITY - 1) {
    Fatal(in, msg::FUNCTION_TABLE_FULL);
    return nullptr;
  }
  int32_t index = in.functionCount++;
  in.functions[index] = FunctionEntry{name, in.NIL, ERROR_VALUE, 0, 0};
  in.names[name].function = uint16_t(index + 1);
  return &in.functions[index];
}

}  // namespace vex
