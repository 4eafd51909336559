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
// are those of the whole area without a second pass over it.
//
// Besides the program's own collections, named calls reclaim early: the
// same marking, once about a million Cells or a quarter of a million numbers
// (or as many as are in use, if more) have been handed out since the last
// pass. It leaves the free counts, the title and the wrap flag alone, so
// every observable effect of the areas stays that of the program's own
// collections; only the memory a program touches stays in proportion to
// what it holds instead of to what it ever made.
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "core/messages.h"
#include "memory/memory.h"

namespace vex {

namespace {

// What one marking has found in use so far; every element is counted when
// its mark is set, which happens once per marking.
struct Marked {
  int32_t cells = 0;
  int32_t numbers = 0;
};

// Marks cell and everything reachable from it; pending holds the cars whose
// marking is deferred.
void MarkFrom(Interp& in, Ref cell, std::vector<Ref>& pending, Marked& marked) {
  pending.push_back(cell);
  while (!pending.empty()) {
    Ref x = pending.back();
    pending.pop_back();
    // Walk the chain of cdrs; each list Cell defers its car.
    while (x != ERROR_VALUE) {
      Cell& c = in.cells[x];
      if (c.mark == MARK_USED) break;
      if (c.tag != TAG_SYMBOL && c.tag != TAG_NUMBER && c.tag != TAG_LIST)
        break;
      c.mark = MARK_USED;
      ++marked.cells;
      if (c.tag == TAG_SYMBOL) break;
      if (c.tag == TAG_NUMBER) {
        NumberSlot& s = in.numbers[c.car];
        marked.numbers += s.mark != MARK_USED;
        s.mark = MARK_USED;
        break;
      }
      pending.push_back(c.car);
      x = c.cdr;
    }
  }
}

// Resets every mark and marks from the four kinds of roots; what is marked
// is what is in use. A run with a step budget is charged for the passes.
Marked MarkAndCount(Interp& in) {
  ResetMarks(in);
  Marked marked;
  std::vector<Ref> pending;
  for (uint32_t i = 0; i < in.cellTop; ++i)
    if (in.cellStack[i] != ERROR_VALUE)
      MarkFrom(in, in.cellStack[i], pending, marked);
  // Every Binding of a call in progress: those the LocalStack refers to,
  // those of calls whose arguments are still being evaluated, and the hidden
  // one holding the definition each call runs.
  for (uint32_t i = 0; i < in.bindingTop; ++i)
    MarkFrom(in, in.bindings[i].value, pending, marked);
  for (int32_t i = 0; i < in.globalCount; ++i)
    MarkFrom(in, in.globals[i].value, pending, marked);
  for (int32_t i = 0; i < in.functionCount; ++i)
    MarkFrom(in, in.functions[i].definition, pending, marked);
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
  return marked;
}

}  // namespace

void Collect(Interp& in) {
  Marked used = MarkAndCount(in);
  in.FreeCells = CELL_CAPACITY - used.cells;
  in.FreeNumbers = NUMBER_CAPACITY - used.numbers;
  ScheduleReclaim(in, used.cells, used.numbers);

  std::u16string line = msg::GC_CELLS;
  for (char ch : std::to_string(used.cells)) line += char16_t(ch);
  line += msg::GC_NUMBERS;
  for (char ch : std::to_string(used.numbers)) line += char16_t(ch);
  line += u' ';
  line += in.WrapFlag ? u'*' : u' ';
  in.host.SetTitle(line);
}

void Reclaim(Interp& in) {
  Marked used = MarkAndCount(in);
  ScheduleReclaim(in, used.cells, used.numbers);
}

void CollectForStress(Interp& in) {
  Reclaim(in);
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
