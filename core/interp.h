// One interpreter: every piece of state of the language and the turtle.
//
// Design note. All Lisp data lives in fixed areas addressed by 32-bit
// references: a Cell reference is the Cell's index plus one (0 is the null
// reference, ERROR_VALUE), a number Cell's car is the index of its
// NumberSlot, and a symbol Cell's car is the offset, in UTF-16 units, of its
// interned name in the StringArea. The areas are reserved zero-filled and
// never touched beyond what has been handed out, so start-up costs nothing and
// resident memory grows with use; the collector's passes cover only the
// touched part (cellHigh, numberHigh). A side table indexed by a name's offset
// gives its built-in row, global variable and function in constant time.
// User functions' bodies are also kept decoded, in a code area beside the
// Cells they were read from (eval/decoded.cpp).
// A host creates the Interp; nothing of the interpreter lives elsewhere.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/host.h"

namespace vex {

using Ref = uint32_t;      // Cell reference: index + 1; 0 is null
using NameRef = uint32_t;  // offset of an interned name in the StringArea

constexpr Ref ERROR_VALUE = 0;
constexpr NameRef NO_NAME = 0xFFFFFFFFu;

constexpr uint16_t TAG_SYMBOL = 's';
constexpr uint16_t TAG_NUMBER = 'n';
constexpr uint16_t TAG_LIST = 'l';
constexpr uint16_t MARK_USED = 'd';
constexpr uint16_t MARK_FREE = 'e';

constexpr int32_t CELL_CAPACITY = 32000000;
constexpr int32_t NUMBER_CAPACITY = 3200000;
constexpr int32_t STRING_AREA_BYTES = 640000;
constexpr int32_t TABLE_CAPACITY = 3200;  // globals and functions alike
constexpr int32_t CELL_STACK_CAPACITY = 32000000;
constexpr int32_t LOCAL_STACK_CAPACITY = 3200000;
// Room for the Bindings of all running Frames; running out is the
// non-fatal "cannot reserve a Frame" failure of a call.
constexpr int32_t BINDING_ARENA_CAPACITY = 4000000;
// The marks of codeCells.
constexpr uint8_t CODE_OF_FUNCTION = 1;
constexpr uint8_t CODE_OF_FORM = 2;
// Nodes of decoded function bodies; a body that does not fit runs as it is.
constexpr int32_t CODE_CAPACITY = 1 << 20;
constexpr int32_t GC_THRESHOLD = 1000;
// Allocations between two reclaims at least (more while many Cells are in
// use: memory.cpp, ReclaimBudget). Small, so that a loop touches a few
// megabytes whatever it makes.
constexpr int32_t RECLAIM_CELLS = 1 << 18;
constexpr int32_t RECLAIM_NUMBERS = 1 << 16;
constexpr int32_t INTERRUPT_INTERVAL = 1024;
// What a collection costs a run with a step budget: one step for this many
// elements of the areas it passes over.
constexpr int32_t COLLECT_ELEMENTS_PER_STEP = 64;

constexpr int PRINT_BUFFER_UNITS = 30050;
constexpr int PRINT_LIMIT = 29999;
constexpr int TEXT_UNITS = 4000;      // RunText and the loader's buffer
constexpr int MAX_TEXT_UNITS = 3998;  // longest text the reader accepts

struct Cell {
  uint16_t tag;
  uint16_t mark;
  uint32_t car;
  uint32_t cdr;
};
static_assert(sizeof(Cell) == 12, "a Cell is 12 bytes on every build");

struct NumberSlot {
  uint16_t mark;
  float value;
};

struct Binding {
  NameRef name;
  Ref value;
};

struct FunctionEntry {
  NameRef name;
  Ref definition;
  // The decoded body (eval/decoded.cpp) of decodedDefinition, valid while
  // the interpreter's codeEpoch is decodedEpoch.
  Ref decodedDefinition;
  uint32_t decodedEpoch;
  uint32_t decodedBody;
};

// One node of a decoded function body (eval/decoded.cpp). A node's
// children follow it in the code area; skip is the size in bytes of the
// node and them.
struct CodeNode {
  uint8_t kind;
  uint8_t row;     // by kind (eval/decoded.h): a built-in's row, a flag
  uint16_t count;  // by kind: the argument nodes, a global's entry
  uint32_t value;  // the form, a Binding slot or a name, by kind
  uint32_t link;   // the list Cell whose car is this node's form
  uint32_t skip;
};

// The local environment of one running user function: n Bindings in the
// binding arena. The top level has the empty Frame.
struct Frame {
  uint32_t base = 0;  // index of the first Binding in the arena
  int32_t count = 0;
};

// Constant-time facts about an interned name, by its StringArea offset.
struct NameInfo {
  uint8_t builtin;    // row number 1..64, or 0
  uint16_t global;    // GlobalTable index + 1, or 0
  uint16_t function;  // FunctionTable index + 1, or 0
};

struct Turtle {
  float x = 0;
  float y = 0;
  float heading = 90;
  int32_t penDown = 1;
  int32_t visible = 1;
};

// Mouse state shared by the window thread's handlers and the evaluating
// thread; every access holds Interp::inputLock.
struct PointerState {
  int16_t clickX = 0, clickY = 0;
  int32_t leftDown = 0;
  // Left presses so far: a wait that finds the count changed has seen a
  // press, even when its release came before the wait looked.
  uint32_t presses = 0;
  int32_t rightClicked = 0;
  int32_t rubberActive = 0;
  int32_t rectHidden = 1;
  int16_t anchorX = 0, anchorY = 0;
  int16_t cornerX = 0, cornerY = 0;
};

struct Interp {
  explicit Interp(Host& h) : host(h) {}
  ~Interp();
  Interp(const Interp&) = delete;
  Interp& operator=(const Interp&) = delete;

  Host& host;

  // CellArea: cells[1..CELL_CAPACITY]; cells[0] is never used.
  Cell* cells = nullptr;
  uint32_t cellCursor = 0;  // index of the next Cell to examine (0-based)
  uint32_t cellHigh = 0;    // no Cell above cellHigh was ever touched
  int32_t WrapFlag = 0;
  // FreeCells, and the allocations left until the first wrap of a next-fit
  // cursor that was never moved back by early reclaiming (WrapFlag follows
  // it; never 0: once the flag is set, it counts a whole area again). Taking
  // the Cell under the cursor moves the cursor one on and takes one from
  // both, so each is kept as the cursor position where it would reach 0,
  // and the common case of allocation writes the cursor alone (FreeCells()
  // and WrapCountdown() in memory/memory.h).
  uint32_t freeCellsEnd = 0;
  uint32_t wrapEnd = 0;
  // The cursor positions from which taking the Cell or NumberSlot under
  // the cursor needs the slow path whatever the element (see
  // ResetAllocationLimits in memory/memory.h).
  uint32_t cellFastEnd = 0;
  uint32_t slotFastEnd = 0;

  NumberSlot* numbers = nullptr;
  uint32_t numberCursor = 0;
  uint32_t numberHigh = 0;      // nor any NumberSlot from numberHigh on
  uint32_t freeNumbersEnd = 0;  // FreeNumbers, kept as freeCellsEnd is

  // Reclaiming: a safe point reached once FreeCells or FreeNumbers is below
  // these frees the garbage (memory/collector.cpp); the free counts when
  // they were set tell the next reclaim how much it found of what was made.
  int32_t reclaimCells = 0;
  int32_t reclaimNumbers = 0;
  // The same, raised to GC_THRESHOLD, below which a named call collects:
  // while both free counts are at or above these, a named call's safe point
  // has nothing to do (SetReclaimPoints in memory/memory.h keeps them).
  int32_t callPointCells = GC_THRESHOLD;
  int32_t callPointNumbers = GC_THRESHOLD;
  int32_t scheduledFreeCells = 0;
  int32_t scheduledFreeNumbers = 0;

  char16_t* strings = nullptr;  // StringArea, STRING_AREA_BYTES / 2 units
  uint32_t stringTop = 0;       // units in use
  NameInfo* names = nullptr;    // indexed by NameRef
  std::unordered_map<std::u16string_view, NameRef> internIndex;

  Binding* globals = nullptr;
  int32_t globalCount = 0;
  FunctionEntry* functions = nullptr;
  int32_t functionCount = 0;

  Ref* cellStack = nullptr;
  uint32_t cellTop = 0;
  uint32_t* localStack = nullptr;  // binding arena index + 1; 0 is a marker
  uint32_t localTop = 0;
  Binding* bindings = nullptr;  // the binding arena of the running Frames
  uint32_t bindingTop = 0;

  Ref NIL = 0;
  Ref T = 0;

  // Decoded function bodies. codeCells marks every list Cell a decoding
  // has read; storing into such a Cell, or a marking that finds it free,
  // advances codeEpoch, and that retires every decoded body at once,
  // running ones included (they go on by the forms themselves).
  // A Cell's byte holds CODE_OF_FUNCTION when a function's body was read
  // from it, CODE_OF_FORM when a form run once (a typed program, an
  // expression of a loaded file) was: those marks go when the form has run
  // (transientCode lists them), so that freeing its Cells retires nothing.
  uint8_t* codeCells = nullptr;  // indexed like cells
  uint32_t codeCellsHigh = 0;    // no Cell from here on is marked
  std::vector<Ref> transientCode;
  CodeNode* code = nullptr;
  uint32_t codeTop = 0;
  uint32_t codeEpoch = 1;
  uint32_t codeAreaEpoch = 0;  // the epoch of the nodes below codeTop

  // The evaluation's native stack guard (set by the host per thread): a
  // call nests only while the stack pointer is above this address; 0 for
  // no guard. depthLimit bounds the nesting of call forms the same way in
  // both engines (eval/eval.h, CallLevel), so that the guard of the address
  // is only a last resort; depth is the nesting now.
  uintptr_t stackLimit = 0;
  uint32_t depth = 0;
  uint32_t depthLimit = UINT32_MAX;

  // User functions run as decoded bodies (eval/decoded.cpp); false runs
  // everything through the evaluator, which the two must agree with.
  bool decodeBodies = true;

  // A fatal condition, or the user, has asked the window to close; written
  // by both threads.
  std::atomic<bool> closing{false};

  // Stopping a run: the host sets interruptRequested from another thread
  // (Ctrl-C in the console); a step budget (steps of evaluation, for the
  // fuzzers) stops it too. The evaluator looks at both every
  // INTERRUPT_INTERVAL steps.
  std::atomic<bool> interruptRequested{false};
  int64_t stepBudget = -1;  // steps a run may take (collections count too);
                            // -1 for no limit
  int32_t pollCountdown = 0;
  bool runStopped = false;  // the current run was stopped; it only unwinds

  char16_t PrintBuffer[PRINT_BUFFER_UNITS] = {};
  int32_t PrintCounter = 0;

  // Turtle graphics.
  Turtle turtle;
  float xcenter = 0;  // TurtleOrigin
  float ycenter = 0;
  int32_t PenIndex = 0;
  uint32_t randState = 1;  // the C runtime's rand, reset at every run

  // Input from the window thread.
  std::mutex inputLock;
  PointerState pointer;
  int32_t KeyCode = 0;

  // Handover values of the line files and printing (window thread work).
  Ref PendingLines = 0;
  Ref PendingArcs = 0;
  Ref PendingName = 0;
  int32_t PrintResult = 0;
  Ref ReadResult = 0;
};

}  // namespace vex
