// The two root stacks: the CellStack of values produced by the current units
// of work, and the LocalStack of the Bindings of running user functions.
//
// A unit of work begins by pushing the null marker and ends by popping back
// to it, so the collector sees every intermediate value as a root. The
// LocalStack holds binding-arena indices plus one; 0 is its marker.
#include "core/assert.h"
#include "core/messages.h"
#include "memory/memory.h"

namespace vex {

bool CellStackFull(Interp& in) {
  Fatal(in, msg::CELL_STACK_FULL);
  return false;
}

bool LocalStackFull(Interp& in) {
  Fatal(in, msg::LOCAL_STACK_FULL);
  return false;
}

bool PushFrameOneByOne(Interp& in, const Frame& frame) {
  if (in.localTop >= uint32_t(LOCAL_STACK_CAPACITY - 1))
    return LocalStackFull(in);
  in.localStack[in.localTop++] = 0;
  for (int32_t i = 0; i < frame.count; ++i) {
    if (in.localTop >= uint32_t(LOCAL_STACK_CAPACITY - 1))
      return LocalStackFull(in);
    in.localStack[in.localTop++] = frame.base + uint32_t(i) + 1;
  }
  return true;
}

void PopCellsToMarker(Interp& in) {
  const Ref* stack = in.cellStack;
  uint32_t top = in.cellTop;
  while (top > 0 && stack[top - 1] != ERROR_VALUE) --top;
  VEX_ASSERT(top > 0 && "every unit of work has pushed its marker");
  in.cellTop = top > 0 ? top - 1 : 0;
}

}  // namespace vex
