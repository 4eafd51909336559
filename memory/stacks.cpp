// The two root stacks: the CellStack of values produced by the current units
// of work, and the LocalStack of the Bindings of running user functions.
//
// A unit of work begins by pushing the null marker and ends by popping back
// to it, so the collector sees every intermediate value as a root. The
// LocalStack holds binding-arena indices plus one; 0 is its marker.
#include "core/messages.h"
#include "memory/memory.h"

namespace vex {

bool CellStackFull(Interp& in) {
  Fatal(in, msg::CELL_STACK_FULL);
  return false;
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
  const Ref* stack = in.cellStack;
  uint32_t top = in.cellTop;
  while (top > 0 && stack[top - 1] != ERROR_VALUE) --top;
  in.cellTop = top > 0 ? top - 1 : 0;
}

void PopLocalsToMarker(Interp& in) {
  const uint32_t* stack = in.localStack;
  uint32_t top = in.localTop;
  while (top > 0 && stack[top - 1] != 0) --top;
  in.localTop = top > 0 ? top - 1 : 0;
}

}  // namespace vex
