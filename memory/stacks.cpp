// The two root stacks: the CellStack of values produced by the current units
// of work, and the LocalStack of the Bindings of running user functions.
//
// A unit of work begins by pushing the null marker and ends by popping back
// to it, so the collector sees every intermediate value as a root. The
// LocalStack holds binding-arena indices plus one; 0 is its marker.
#include "core/messages.h"
#include "memory/memory.h"

namespace vex {

bool PushCell(Interp& in, Ref cell) {
  if (in.cellTop >= uint32_t(CELL_STACK_CAPACITY - 1)) {
    Fatal(in, msg::CELL_STACK_FULL);
    return false;
  }
  in.cellStack[in.cellTop++] = cell;
  return true;
}

namespace {

bool PushLocal(Interp& in, uint32_t entry) {
  if (in.localTop >= uint32_t(LOCAL_STACK_CAPACITY - 1)) {
    Fatal(in, msg::LOCAL_STACK_FULL);
    return false;
  }
  in.localStack[in.localTop++] = entry;
  return true;
}

}  // namespace

bool PushLocalMarker(Interp& in) { return PushLocal(in, 0); }

bool PushLocals(Interp& in, const Frame& frame) {
  for (int32_t i = 0; i < frame.count; ++i)
    if (!PushLocal(in, frame.base + uint32_t(i) + 1)) return false;
  return true;
}

void PopCellsToMarker(Interp& in) {
  while (in.cellTop > 0 && in.cellStack[in.cellTop - 1] != ERROR_VALUE)
    --in.cellTop;
  if (in.cellTop > 0) --in.cellTop;
}

void PopLocalsToMarker(Interp& in) {
  while (in.localTop > 0 && in.localStack[in.localTop - 1] != 0) --in.localTop;
  if (in.localTop > 0) --in.localTop;
}

}  // namespace vex
