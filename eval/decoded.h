// Decoded function bodies: a user function's body read once into nodes, so
// that its calls skip what the evaluator otherwise finds out anew at every
// form (what kind of form it is, which built-in or function its head names,
// how many arguments it has, which Binding a variable is).
#pragma once

#include "core/interp.h"
#include "eval/arith.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

// The kinds of nodes.
enum CodeKind : uint8_t {
  K_NUMBER,  // value: the number Cell; row: SMALL_WHOLE or 0
  K_LOCAL,   // value: the slot of the variable's Binding in the Frame
  K_GLOBAL,  // value: the name of a variable that is no parameter;
             // count: its GlobalTable index + 1 if it had one then
  K_FORM,    // value: a form the evaluator evaluates as it stands
  // The call forms, whose value is the form unless said otherwise.
  K_SPECIAL,       // a built-in given its argument forms as they stand; row
  K_BUILTIN1,      // a built-in with 1, 2, 3 evaluated arguments, the children
  K_BUILTIN2,      //
  K_BUILTIN3,      //
  K_COND,          // children: its clauses
  K_ADD,           // + * - /; children: the arguments; row: SIMPLE_PAIR,
  K_MULTIPLY,      // LEAN_PAIR or 0; count: the shapes of two lean
  K_SUBTRACT,      // arguments (LeanShapes in eval/decoded_body.h), else 0
  K_DIVIDE,        //
  K_MINUSP,        // the evaluated rows whose handlers are called
  K_NUMBER_EQUAL,  // directly: minusp, =, null, car, cdr; row and
  K_NULL,          // children as K_BUILTIN1 and K_BUILTIN2; the count of =
  K_CAR,           // as arithmetic's
  K_CDR,           //
  K_SETQ,          // row: 1 for a global target (count: its entry + 1, if it
                   // had one then), 0 for a parameter (count: its slot);
                   // children: the value
  K_CONS,          // children: the car, the cdr; count as arithmetic's
  K_PROGN,         // children: the forms
  K_AND,           //
  K_OR,            //
  K_LOOP,          // children: K_EXIT clauses and the other forms
  K_USER,          // value: the function's name; row: its entry, once
                   // known (eval/functions.cpp); children: the arguments
  // Parts of call forms and bodies.
  K_CLAUSE,  // value: the clause; children: its test, then its body
  K_STOP,    // a clause that is not a list: cond ends with NIL there
  K_EXIT,    // a loop's exit clause, as K_CLAUSE
  K_BODY,    // value: the body; count: the parameters; row: 1 when the
             // forms are one cond; children: a K_PARAM per parameter, then
             // the forms
  K_PARAM,   // value: the parameter's name
};

// The value of a decoded call form node in frame, as EvalProtect gives it,
// by the node's kind. epoch is the codeEpoch the node was decoded in, and
// must still be the current one.
using CallRunner = Ref (*)(Interp& in, const CodeNode* node, Frame& frame,
                           uint32_t epoch);
extern const CallRunner kCallRunners[];

// The value of a K_GLOBAL node whose variable had no entry when it was read:
// once the entry exists the node keeps it, since global variables are never
// removed.
[[gnu::noinline]] Ref LearnGlobal(Interp& in, const CodeNode* n);

// The row of an arithmetic node whose two arguments are simple: variables
// or numbers, whose values are found without evaluating anything.
constexpr uint8_t SIMPLE_PAIR = 1;
// The row of one whose two arguments are variables, numbers, or car or cdr
// of one of these, and not both of the first kinds.
constexpr uint8_t LEAN_PAIR = 2;

// The row of a number node whose value is a whole number from 0 to 65535,
// which its count then holds too: arithmetic reads it there, without a
// look at the number's Cell, which cannot change while the node holds.
constexpr uint8_t SMALL_WHOLE = 1;

// A variable or a number: one node whose value is found without evaluating
// anything, and without failing once a global variable has its entry.
inline bool IsSimple(const CodeNode& n) {
  return n.kind == K_LOCAL || n.kind == K_NUMBER || n.kind == K_GLOBAL;
}

// The value of a simple node, or ERROR_VALUE for a global variable without
// an entry yet.
[[gnu::always_inline]] inline Ref SimpleValue(const Interp& in,
                                              const CodeNode* n,
                                              const Frame& frame) {
  if (n->kind == K_NUMBER) return n->value;
  if (n->kind == K_LOCAL) return in.bindings[frame.base + n->value].value;
  return n->count != 0 ? in.globals[n->count - 1].value : ERROR_VALUE;
}

// The value of a simple node in ref and the number it is in number; false
// when it has no value yet or is no number.
[[gnu::always_inline]] inline bool SimpleNumber(Interp& in, const CodeNode* n,
                                                const Frame& frame, Ref& ref,
                                                float& number) {
  if (n->row == SMALL_WHOLE) {
    ref = n->value;
    number = float(n->count);
    return true;
  }
  ref = SimpleValue(in, n, frame);
  if (ref == ERROR_VALUE) return false;
  const Cell& c = LiveCell(in, ref);
  if (c.tag != TAG_NUMBER) return false;
  number = in.numbers[c.car].value;
  return true;
}

// The end of PairArithmetic (below) when an element under a cursor cannot be
// taken: the number result of a and b is made by the allocators' search,
// when each area has two free elements (then neither allocation can fail);
// else ERROR_VALUE, having done nothing.
[[gnu::noinline]] Ref PairResultSearching(Interp& in, Ref a, Ref b,
                                          float result);

// x op y as the fold of two arguments makes it: + and * start from their
// identity, - and / from the first argument.
template <Op op>
[[gnu::always_inline]] inline float PairValue(float x, float y) {
  if (op == Op::Add || op == Op::Multiply)
    x = ApplyOp<op>(op == Op::Add ? 0.0f : 1.0f, x);
  return ApplyOp<op>(x, y);
}

// The common case of arithmetic on a simple pair, done whole or not at all:
// both values are numbers, no zero divides, the CellStack has room for the
// three pushes, the areas have room for the number, and the step neither
// nests too deep nor is one that looks at the flags. Then the node's value,
// after the steps, pushes and allocations its runner makes; else
// ERROR_VALUE, having done nothing, and the runner goes the long way. The
// number's value is also left in *value, so that a caller testing it need
// not read back what was just stored. levelKnown: the caller has found a
// level below the limit and a step that does not look at the flags, and
// the level is not moved for a step that reads nothing of it.
template <Op op, bool levelKnown = false>
[[gnu::always_inline]] inline Ref PairArithmetic(Interp& in, const CodeNode* n,
                                                 const Frame& frame,
                                                 float* value = nullptr) {
  Ref a = SimpleValue(in, n + 1, frame);
  if (a == ERROR_VALUE) return ERROR_VALUE;
  const Cell& ca = LiveCell(in, a);
  // A written number mostly stands second, as in (- n 1): only that
  // operand looks at its node's row, which spares a variable the test.
  Ref b;
  float y;
  uint32_t top = in.cellTop;
  if (ca.tag != TAG_NUMBER || !SimpleNumber(in, n + 2, frame, b, y) ||
      top + 3 >= uint32_t(CELL_STACK_CAPACITY - 1) ||
      (!levelKnown && (in.depth >= in.depthLimit || in.pollCountdown < 1)))
    return ERROR_VALUE;
  float x = in.numbers[ca.car].value;
  if (op == Op::Divide && y == 0.0f) return ERROR_VALUE;
  float result = PairValue<op>(x, y);
  if (value != nullptr) *value = result;
  if (!CellUnderCursorIsTakeable(in) || !SlotUnderCursorIsTakeable(in))
    return PairResultSearching(in, a, b, result);
  --in.pollCountdown;
  Ref c = TakeCellUnderCursor(in);
  Cell& cell = in.cells[c];
  cell.tag = TAG_NUMBER;
  cell.car = uint32_t(TakeSlotUnderCursor(in, result));
  in.cellStack[top] = a;
  in.cellStack[top + 1] = b;
  in.cellStack[top + 2] = c;
  in.cellTop = top + 3;
  return c;
}

// The value of any decoded form node (see kCallRunners); variables and numbers
// are evaluated in place, and so is the common case of arithmetic on a
// simple pair.
[[gnu::always_inline]] inline Ref RunNode(Interp& in, const CodeNode* n,
                                          Frame& frame, uint32_t epoch) {
  // Tests rather than a jump table: each site mostly sees one or two kinds.
  uint8_t kind = n->kind;
  if (kind >= K_ADD && kind <= K_DIVIDE && n->row == SIMPLE_PAIR) {
    Ref v = kind == K_ADD        ? PairArithmetic<Op::Add>(in, n, frame)
            : kind == K_SUBTRACT ? PairArithmetic<Op::Subtract>(in, n, frame)
            : kind == K_MULTIPLY ? PairArithmetic<Op::Multiply>(in, n, frame)
                                 : PairArithmetic<Op::Divide>(in, n, frame);
    if (v != ERROR_VALUE) return v;
  }
  if (kind >= K_SPECIAL)
    return kCallRunners[kind - K_SPECIAL](in, n, frame, epoch);
  if (kind == K_LOCAL)
    return Protect(in, in.bindings[frame.base + n->value].value);
  if (kind == K_NUMBER) return PushCell(in, n->value) ? n->value : ERROR_VALUE;
  if (kind == K_GLOBAL) {
    if (n->count == 0) return LearnGlobal(in, n);
    return Protect(in, in.globals[n->count - 1].value);
  }
  return EvalProtect(in, n->value, frame);
}

// The runner of a K_USER node: the call of a user function with the
// argument nodes of the decoded call form call, evaluated in frame
// (eval/functions.cpp, where the call is set up).
Ref RunUserCall(Interp& in, const CodeNode* call, Frame& frame, uint32_t epoch);

// The node after node and its children.
inline const CodeNode* NextNode(const CodeNode* node) {
  return reinterpret_cast<const CodeNode*>(reinterpret_cast<const char*>(node) +
                                           node->skip);
}

// True when a decoded node's forms may have changed since epoch: the
// evaluation then goes on by the forms themselves.
inline bool CodeChanged(const Interp& in, uint32_t epoch) {
  return in.codeEpoch != epoch;
}

// The decodedBody of a function whose body did not fit.
constexpr uint32_t NO_CODE = 0xFFFFFFFFu;

// The forms from node first up to end, as RunBody evaluates them.
//
// Every runner keeps to one rule: once a node's evaluation may have run
// other code, it looks at the epoch before it reads a node again, and on a
// change it reads nothing of the nodes any more (a decoding in a new epoch
// may have put other nodes in their place); what it needs to go on by the
// forms it has read from its nodes beforehand.
[[gnu::always_inline]] inline Ref RunForms(Interp& in, const CodeNode* first,
                                           const CodeNode* end, Frame& frame,
                                           uint32_t epoch) {
  Ref result = in.NIL;
  for (const CodeNode* n = first; n != end; n = NextNode(n)) {
    if (RunMustStop(in)) return ERROR_VALUE;
    Ref link = n->link;
    result = RunNode(in, n, frame, epoch);
    if (result == ERROR_VALUE) return ERROR_VALUE;
    if (CodeChanged(in, epoch)) {
      Ref rest = Cdr(in, link);
      return IsList(in, rest) ? RunBody(in, rest, frame) : result;
    }
  }
  return result;
}

// Decodes the body of f (see RunFunctionBody) and runs it.
[[gnu::noinline]] Ref DecodeAndRunBody(Interp& in, FunctionEntry& f,
                                       Ref definition, Ref body, Frame& frame);

// The K_BODY node of the user function f while its decoding of definition
// holds, else nullptr: a call can then name its parameters from the nodes.
// decodeBodies is set before anything runs, and with it off no body is ever
// decoded: decodedDefinition keeps the ERROR_VALUE it starts with.
inline const CodeNode* DecodedBody(const Interp& in, const FunctionEntry& f,
                                   Ref definition) {
  if (f.decodedDefinition != definition || f.decodedEpoch != in.codeEpoch ||
      f.decodedBody == NO_CODE)
    return nullptr;
  return in.code + f.decodedBody;
}

// The forms of a K_BODY node, from the first after its parameters.
inline const CodeNode* BodyForms(const CodeNode* b) { return b + 1 + b->count; }

}  // namespace vex
