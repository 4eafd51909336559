// The mark-and-count collector.
//
// Design note. The mark field is also the allocation state, so marking from
// the roots is the whole job: whatever is left unmarked is free at once and
// the next-fit allocators find it. Marking walks list tails in a loop and
// keeps the cars still to be marked on an explicit stack, so no structure,
// however deep in either direction, can exhaust the native stack. A Cell
// already marked ends a walk, which makes shared and circular structure safe.
// The reset pass covers only the part of each area ever handed out
// (cellHigh, numberHigh), and the marking counts what it marks: the counts
// are those of the whole area without a second pass over it. A marking that
// leaves free a Cell a decoded body was read from retires the decoded bodies
// (eval/decoded.cpp), so the allocators never hand such a Cell out.
//
// Besides the program's own collections, the safe points (every named call
// and every pass of loop) reclaim on a schedule: the same marking, without
// the title's report, once a quarter of a million Cells or 65,536 numbers
// (or twice as many as there are Cells in use, if more) have been handed out
// since the last one, and sooner as live data fills an area. What it frees
// counts as free, so an area is full only when live data fills it, and the
// memory a program touches stays in proportion to what it holds instead of to
// what it ever made. The wrap flag still counts every allocation since
// start-up.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/messages.h"
#include "memory/memory.h"

namespace vex {

namespace {

// How many list Cells a marking walks between two looks at the stop flags.
constexpr int32_t STOP_CHECK_CELLS = 1 << 20;

// One marking: what it has found in use so far (every element is counted
// when its mark is set, which happens once per marking), the cars whose
// marking is deferred, and whether it was given up.
struct Marking {
  int32_t cells = 0;
  int32_t numbers = 0;
  bool abandoned = false;
  int32_t untilStopCheck = STOP_CHECK_CELLS;
  std::vector<Ref> pending;
};

// Marks a Cell known not to be marked yet, unless its tag is none of the
// three (such a Cell stays free); true when it is a list Cell.
inline bool MarkCell(Interp& in, Cell& c, Marking& m) {
  if (c.tag != TAG_SYMBOL && c.tag != TAG_NUMBER && c.tag != TAG_LIST)
    return false;
  c.mark = MARK_USED;
  ++m.cells;
  if (c.tag == TAG_NUMBER) {
    NumberSlot& s = in.numbers[c.car];
    m.numbers += s.mark != MARK_USED;
    s.mark = MARK_USED;
  }
  return c.tag == TAG_LIST;
}

// True when the run whose safe point this is has to stop: then a marking
// is not worth finishing.
bool Stopping(const Interp& in) {
  return in.interruptRequested.load(std::memory_order_relaxed) ||
         in.closing.load(std::memory_order_relaxed);
}

// Marks cell and everything reachable from it: the chain of cdrs in a loop,
// cars that are atoms at once, cars that are lists later. A run being
// stopped gives the marking up (it looks every million list Cells).
void MarkFrom(Interp& in, Ref cell, Marking& m) {
  m.pending.push_back(cell);
  while (!m.pending.empty()) {
    Ref x = m.pending.back();
    m.pending.pop_back();
    for (;;) {
      Cell& c = in.cells[x];
      if (c.mark == MARK_USED || !MarkCell(in, c, m)) break;
      Cell& car = in.cells[c.car];
      if (car.mark != MARK_USED && car.tag == TAG_LIST)
        m.pending.push_back(c.car);
      else if (car.mark != MARK_USED)
        MarkCell(in, car, m);
      if (--m.untilStopCheck == 0) {
        m.untilStopCheck = STOP_CHECK_CELLS;
        if (Stopping(in)) {
          m.abandoned = true;
          m.pending.clear();
          return;
        }
      }
      x = c.cdr;
    }
  }
}

// A marking given up for a run that is being stopped: everything touched
// counts as in use until the next reclaim, which the next safe point makes.
void AbandonMarking(Interp& in, Marking& m) {
  for (uint32_t i = 1; i <= in.cellHigh; ++i) in.cells[i].mark = MARK_USED;
  for (uint32_t i = 0; i < in.numberHigh; ++i) in.numbers[i].mark = MARK_USED;
  m.cells = int32_t(in.cellHigh) + 1;
  m.numbers = int32_t(in.numberHigh) + 1;
  in.pollCountdown = 0;
}

// Retires the decoded bodies when a Cell one was read from is left free by
// the marking just made, and forgets that it was read: so no Cell a body
// still reads is ever free, and allocation need not look. The scan covers
// the Cells up to the last one read, eight at a time where none was.
void RetireFreedCode(Interp& in) {
  uint8_t* marks = in.codeCells;
  uint32_t high = 0;
  bool retired = false;
  for (uint32_t i = 1; i < in.codeCellsHigh;) {
    uint64_t eight;
    if (i + 8 <= in.codeCellsHigh &&
        (std::memcpy(&eight, marks + i, 8), eight == 0)) {
      i += 8;
      continue;
    }
    if (marks[i] != 0 && in.cells[i].mark == MARK_USED) {
      high = i + 1;
    } else if (marks[i] != 0) {
      marks[i] = 0;  // freed: the bodies read from it are retired below
      retired = true;
    }
    ++i;
  }
  in.codeCellsHigh = high;
  if (retired) ++in.codeEpoch;
}

// Resets every mark and marks from NIL, T and the four kinds of roots; what
// is marked is what is in use. A run with a step budget is charged for the
// passes.
Marking MarkAndCount(Interp& in) {
  ResetMarks(in);
  Marking m;
  auto mark = [&](Ref root) {
    if (!m.abandoned) MarkFrom(in, root, m);
  };
  // The built-ins answer with these two Cells whatever a program has set
  // the variables NIL and T to.
  mark(in.NIL);
  mark(in.T);
  for (uint32_t i = 0; i < in.cellTop; ++i)
    if (in.cellStack[i] != ERROR_VALUE) mark(in.cellStack[i]);
  // Every Binding of a call in progress: those the LocalStack refers to,
  // those of calls whose arguments are still being evaluated, and the hidden
  // one holding the definition each call runs.
  for (uint32_t i = 0; i < in.bindingTop; ++i) mark(in.bindings[i].value);
  for (int32_t i = 0; i < in.globalCount; ++i) mark(in.globals[i].value);
  for (int32_t i = 0; i < in.functionCount; ++i)
    mark(in.functions[i].definition);
  if (m.abandoned) AbandonMarking(in, m);
  RetireFreedCode(in);
  // A program that collects in a loop ends as soon as one that evaluates in
  // a loop. A spent budget is looked at by the next step; it stays at 0, as
  // a negative one means no limit.
  if (in.stepBudget >= 0) {
    int64_t cost = int64_t(in.cellHigh) + in.numberHigh + in.cellTop;
    in.stepBudget -= cost / COLLECT_ELEMENTS_PER_STEP;
    if (in.stepBudget <= 0) {
      in.stepBudget = 0;
      in.pollCountdown = 0;
    }
  }
  return m;
}

}  // namespace

bool Reclaim(Interp& in) {
  int32_t freeCells = FreeCells(in);
  int32_t freeNumbers = FreeNumbers(in);
  Marking used = MarkAndCount(in);
  SetFreeCells(in, CELL_CAPACITY - used.cells);
  SetFreeNumbers(in, NUMBER_CAPACITY - used.numbers);
  ScheduleReclaim(in, freeCells, freeNumbers);
  if (used.abandoned)
    SetReclaimPoints(in, CELL_CAPACITY + 1, in.reclaimNumbers);
  return !used.abandoned;
}

void Collect(Interp& in) {
  if (!Reclaim(in)) return;
  int32_t usedCells = CELL_CAPACITY - FreeCells(in);
  int32_t usedNumbers = NUMBER_CAPACITY - FreeNumbers(in);

  std::u16string line = msg::GC_CELLS;
  for (char ch : std::to_string(usedCells)) line += char16_t(ch);
  line += msg::GC_NUMBERS;
  for (char ch : std::to_string(usedNumbers)) line += char16_t(ch);
  line += u' ';
  line += in.WrapFlag ? u'*' : u' ';
  in.host.SetTitle(line);
}

void CollectForStress(Interp& in) {
  // The free counts are left as they are: the stress build looks for values
  // off the roots, and its runs fill the areas as the counts say they do
  // without it. The cursors go to the front, so freed Cells come back soon.
  MarkAndCount(in);
  MoveCellCursor(in, 0);
  MoveNumberCursor(in, 0);
  ResetAllocationLimits(in);
  for (uint32_t i = 1; i <= in.cellHigh; ++i)
    if (in.cells[i].mark != MARK_USED)
      in.cells[i] = Cell{0x7878, MARK_FREE, 0, 0};
  for (uint32_t i = 0; i < in.numberHigh; ++i)
    if (in.numbers[i].mark != MARK_USED)
      in.numbers[i] =
          NumberSlot{MARK_FREE, std::numeric_limits<float>::quiet_NaN()};
}

#ifdef VEX_GC_STRESS
void StaleReference(Interp& in, Ref r) {
  std::fprintf(
      stderr, "vexilon: Cell %u used after the collector freed it (tag %04x)\n",
      unsigned(r), unsigned(in.cells[r].tag));
  std::abort();
}
#endif

}  // namespace vex
