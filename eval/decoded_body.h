// Running decoded bodies: the operands and tests answered in place, cond,
// and the body of a user function.
//
// Design note. These are in a header so that a call of a user function can
// run its body in the same machine frame: most small functions are one
// cond, and running it without a call of its own spares a tenth of what
// such a call costs. Each path does exactly what the node's runner in
// eval/decoded.cpp does, in the same order.
#pragma once

#include "eval/decoded.h"

namespace vex {

// An operand answered in place: a variable or a number, car or cdr of one,
// or arithmetic on a simple pair. Planning it looks at everything its
// evaluation depends on and does nothing; doing it then makes the steps,
// pushes and allocations its node's runner makes, and cannot fail. The
// forms whose operands these are use them: = below, cons and arithmetic in
// eval/decoded.cpp.
struct LeanOperand {
  uint8_t kind;  // K_LOCAL for a variable or a number, else the node's kind
  Ref value;     // the value; an arithmetic operand's is made by DoLean
  Ref source;    // car, cdr: the list; arithmetic: its two operands, which
  Ref other;     // are pushed before its result
  float result;  // arithmetic: the value of the number it makes
};

inline bool IsArithmeticKind(uint8_t kind) {
  return kind >= K_ADD && kind <= K_DIVIDE;
}

// The shapes of lean operands. The decoder records those of ='s two
// operands in its node's count (LeanShapes), so that its test needs no
// look at their kinds.
enum LeanShape : uint8_t {
  SHAPE_SIMPLE,      // a variable or a number
  SHAPE_LIST_PART,   // car or cdr of one
  SHAPE_ARITHMETIC,  // arithmetic on a simple pair
};

// Plans the operand node n of the given shape; false when its evaluation
// could fail (an unbound variable, car of no list, arithmetic on no number
// or by zero).
template <LeanShape shape>
[[gnu::always_inline]] inline bool PlanLeanOf(Interp& in, const CodeNode* n,
                                              const Frame& frame,
                                              LeanOperand& o) {
  if constexpr (shape == SHAPE_SIMPLE) {
    o.kind = K_LOCAL;
    o.value = SimpleValue(in, n, frame);
    return o.value != ERROR_VALUE;
  } else if constexpr (shape == SHAPE_LIST_PART) {
    Ref v = SimpleValue(in, n + 1, frame);
    if (v == ERROR_VALUE || !IsList(in, v)) return false;
    o.kind = n->kind;
    o.source = v;
    o.value = n->kind == K_CAR ? Car(in, v) : Cdr(in, v);
    return true;
  } else {
    Ref a = SimpleValue(in, n + 1, frame);
    Ref b = SimpleValue(in, n + 2, frame);
    if (a == ERROR_VALUE || b == ERROR_VALUE || !IsNumber(in, a) ||
        !IsNumber(in, b))
      return false;
    float x = NumberValue(in, a);
    float y = NumberValue(in, b);
    o.kind = n->kind;
    o.source = a;
    o.other = b;
    switch (n->kind) {
      case K_ADD:
        o.result = PairValue<Op::Add>(x, y);
        break;
      case K_SUBTRACT:
        o.result = PairValue<Op::Subtract>(x, y);
        break;
      case K_MULTIPLY:
        o.result = PairValue<Op::Multiply>(x, y);
        break;
      default:
        if (y == 0.0f) return false;
        o.result = PairValue<Op::Divide>(x, y);
    }
    return true;
  }
}

// Plans the operand node n; false when it is none of the shapes, or when
// its evaluation could fail.
[[gnu::always_inline]] inline bool PlanLean(Interp& in, const CodeNode* n,
                                            const Frame& frame,
                                            LeanOperand& o) {
  if (IsSimple(*n)) return PlanLeanOf<SHAPE_SIMPLE>(in, n, frame, o);
  if (n->kind == K_CAR || n->kind == K_CDR)
    return IsSimple(n[1]) && PlanLeanOf<SHAPE_LIST_PART>(in, n, frame, o);
  return IsArithmeticKind(n->kind) && n->row == SIMPLE_PAIR &&
         PlanLeanOf<SHAPE_ARITHMETIC>(in, n, frame, o);
}

// Whether two planned operands of a form fit what their evaluation needs,
// beside the form's own step: a level below the limit for the calls among
// them, their steps, room on the CellStack for them and the form, and for
// an arithmetic operand two free Cells and NumberSlots, so that making its
// number cannot fail. calls is how many of them are car, cdr or arithmetic;
// two arithmetic operands are left to the runners.
[[gnu::always_inline]] inline bool LeanRoomFor(const Interp& in, int32_t calls,
                                               bool arithmetic) {
  return in.depth + uint32_t(calls != 0) < in.depthLimit &&
         in.pollCountdown >= 1 + calls &&
         in.cellTop + 8 < uint32_t(CELL_STACK_CAPACITY - 1) &&
         (!arithmetic || (in.FreeCells > 1 && in.FreeNumbers > 1));
}
[[gnu::always_inline]] inline bool LeanRoom(const Interp& in,
                                            const LeanOperand& x,
                                            const LeanOperand& y) {
  if (IsArithmeticKind(x.kind) && IsArithmeticKind(y.kind)) return false;
  return LeanRoomFor(in,
                     int32_t(x.kind != K_LOCAL) + int32_t(y.kind != K_LOCAL),
                     IsArithmeticKind(x.kind) || IsArithmeticKind(y.kind));
}

// Does a planned operand of the given shape (see LeanRoom for the room it
// needs); its value.
template <LeanShape shape>
[[gnu::always_inline]] inline Ref DoLeanOf(Interp& in, LeanOperand& o) {
  uint32_t top = in.cellTop;
  if constexpr (shape == SHAPE_SIMPLE) {
    if (!IsSymbol(in, o.value)) in.cellStack[top++] = o.value;
  } else if constexpr (shape == SHAPE_LIST_PART) {
    --in.pollCountdown;
    in.cellStack[top++] = o.source;
    if (!IsSymbol(in, o.value)) in.cellStack[top++] = o.value;
  } else {
    --in.pollCountdown;
    o.value = MakeNumber(in, o.result);
    in.cellStack[top++] = o.source;
    in.cellStack[top++] = o.other;
    in.cellStack[top++] = o.value;
  }
  in.cellTop = top;
  return o.value;
}
[[gnu::always_inline]] inline Ref DoLean(Interp& in, LeanOperand& o) {
  if (o.kind == K_LOCAL) return DoLeanOf<SHAPE_SIMPLE>(in, o);
  if (o.kind == K_CAR || o.kind == K_CDR)
    return DoLeanOf<SHAPE_LIST_PART>(in, o);
  return DoLeanOf<SHAPE_ARITHMETIC>(in, o);
}

// The count of an = node whose operands, from first on, have lean shapes x
// and y (not both arithmetic); 0 for any other =.
constexpr uint16_t NumberEqualShapes(LeanShape x, LeanShape y) {
  return uint16_t(1 + 3 * x + y);
}

// = of two lean operands of the shapes x and y, as a test: T or NIL, or
// ERROR_VALUE having done nothing.
template <LeanShape x, LeanShape y>
[[gnu::always_inline]] inline Ref NumberEqualOf(Interp& in, const CodeNode* n,
                                                const Frame& frame) {
  constexpr bool xa = x == SHAPE_ARITHMETIC, ya = y == SHAPE_ARITHMETIC;
  static_assert(!(xa && ya));
  LeanOperand a, b;
  if (!PlanLeanOf<x>(in, n + 1, frame, a) ||
      !PlanLeanOf<y>(in, NextNode(n + 1), frame, b) ||
      !LeanRoomFor(in, int32_t(x != SHAPE_SIMPLE) + int32_t(y != SHAPE_SIMPLE),
                   xa || ya) ||
      (!xa && !IsNumber(in, a.value)) || (!ya && !IsNumber(in, b.value)))
    return ERROR_VALUE;
  --in.pollCountdown;
  float p = NumberValue(in, DoLeanOf<x>(in, a));
  float q = NumberValue(in, DoLeanOf<y>(in, b));
  return p == q ? in.T : in.NIL;
}

// = of two lean operands by the shapes its node records.
[[gnu::noinline]] inline Ref TryNumberEqual(Interp& in, const CodeNode* n,
                                            const Frame& frame) {
  constexpr LeanShape S = SHAPE_SIMPLE, L = SHAPE_LIST_PART,
                      A = SHAPE_ARITHMETIC;
  switch (n->count) {
    case NumberEqualShapes(S, S):
      return NumberEqualOf<S, S>(in, n, frame);
    case NumberEqualShapes(S, L):
      return NumberEqualOf<S, L>(in, n, frame);
    case NumberEqualShapes(S, A):
      return NumberEqualOf<S, A>(in, n, frame);
    case NumberEqualShapes(L, S):
      return NumberEqualOf<L, S>(in, n, frame);
    case NumberEqualShapes(L, L):
      return NumberEqualOf<L, L>(in, n, frame);
    case NumberEqualShapes(L, A):
      return NumberEqualOf<L, A>(in, n, frame);
    case NumberEqualShapes(A, S):
      return NumberEqualOf<A, S>(in, n, frame);
    case NumberEqualShapes(A, L):
      return NumberEqualOf<A, L>(in, n, frame);
    default:
      return ERROR_VALUE;
  }
}

// The test of a cond clause or a loop exit. The commonest tests are
// answered in place when nothing about them can fail: (minusp (- a b)),
// (null x), (= x y) over variables and numbers or other lean operands
// (above), and null of one of these. Each does exactly what its runner does
// (the steps, the nesting, the pushes and allocations) and gives the same
// value; any other test, or one that might fail, is run as a node.
template <bool outer = true>
[[gnu::always_inline]] inline Ref RunTest(Interp& in, const CodeNode* n,
                                          Frame& frame, uint32_t epoch) {
  const CodeNode* arg = n + 1;
  uint32_t top = in.cellTop;
  if (n->kind == K_MINUSP && arg->kind == K_SUBTRACT &&
      arg->row == SIMPLE_PAIR && in.depth + 1 < in.depthLimit &&
      in.pollCountdown >= 2) {
    // minusp's step and level, then those of its argument.
    --in.pollCountdown;
    ++in.depth;
    Ref v = PairArithmetic<Op::Subtract>(in, arg, frame);
    --in.depth;
    if (v != ERROR_VALUE)
      return in.numbers[in.cells[v].car].value < 0.0f ? in.T : in.NIL;
    ++in.pollCountdown;  // nothing was done: the node runs as it stands
  } else if (n->kind == K_NULL && IsSimple(*arg) && in.depth < in.depthLimit &&
             in.pollCountdown >= 1 &&
             top + 1 < uint32_t(CELL_STACK_CAPACITY - 1)) {
    Ref v = SimpleValue(in, arg, frame);
    if (v != ERROR_VALUE) {
      --in.pollCountdown;
      Protect(in, v);  // there is room: it cannot fail
      return IsNil(in, v) ? in.T : in.NIL;
    }
  } else if (outer && n->kind == K_NULL && in.depth < in.depthLimit &&
             in.pollCountdown >= 1 &&
             (arg->kind == K_MINUSP || arg->kind == K_NUMBER_EQUAL ||
              arg->kind == K_NULL)) {
    // null's step and level, then its argument, whose value is T or NIL
    // (never pushed), or ERROR_VALUE.
    --in.pollCountdown;
    ++in.depth;
    Ref v = RunTest<false>(in, arg, frame, epoch);
    --in.depth;
    if (v == ERROR_VALUE) return ERROR_VALUE;
    return IsNil(in, v) ? in.T : in.NIL;
  } else if (n->kind == K_NUMBER_EQUAL && IsSimple(arg[0]) &&
             IsSimple(arg[1]) && in.depth < in.depthLimit &&
             in.pollCountdown >= 1 &&
             top + 2 < uint32_t(CELL_STACK_CAPACITY - 1)) {
    Ref a = SimpleValue(in, arg, frame);
    Ref b = SimpleValue(in, arg + 1, frame);
    if (a != ERROR_VALUE && b != ERROR_VALUE && IsNumber(in, a) &&
        IsNumber(in, b)) {
      --in.pollCountdown;
      in.cellStack[top] = a;
      in.cellStack[top + 1] = b;
      in.cellTop = top + 2;
      return NumberValue(in, a) == NumberValue(in, b) ? in.T : in.NIL;
    }
  } else if (n->kind == K_NUMBER_EQUAL) {
    // Variables and numbers keep the branch above: the planning of lean
    // operands costs a loop's exit test a third more.
    Ref v = TryNumberEqual(in, n, frame);
    if (v != ERROR_VALUE) return v;
  }
  return RunNode(in, n, frame, epoch);
}

// cond: the clauses in turn until a test is not NIL; the value of that
// clause's forms, or NIL.
[[gnu::always_inline]] inline Ref RunCond(Interp& in, const CodeNode* n,
                                          Frame& frame, uint32_t epoch) {
  const CodeNode* end = NextNode(n);
  for (const CodeNode* c = n + 1; c != end; c = NextNode(c)) {
    if (RunMustStop(in)) return ERROR_VALUE;
    if (c->kind == K_STOP) return in.NIL;
    Ref clause = c->value;
    Ref link = c->link;
    const CodeNode* test = c + 1;
    // A last clause's T is read as RunNode reads it.
    Ref t = test->kind == K_GLOBAL && test->count != 0
                ? Protect(in, in.globals[test->count - 1].value)
                : RunTest<>(in, test, frame, epoch);
    if (t == ERROR_VALUE) return ERROR_VALUE;
    if (CodeChanged(in, epoch)) {
      if (!IsNil(in, t)) return RunBody(in, Cdr(in, clause), frame);
      return CondFrom(in, Cdr(in, link), frame);
    }
    if (!IsNil(in, t))
      return RunForms(in, NextNode(test), NextNode(c), frame, epoch);
  }
  return in.NIL;
}

// The body of a user function that is one cond form: what RunForms does
// with that one node, the cond's step, level and push included.
[[gnu::always_inline]] inline Ref RunSoleCond(Interp& in, const CodeNode* n,
                                              Frame& frame, uint32_t epoch) {
  if (RunMustStop(in)) return ERROR_VALUE;
  Ref link = n->link;
  Ref result;
  {
    CallLevel<false> level(in);
    if (!level.Enter()) return ERROR_VALUE;
    result = Protect(in, RunCond(in, n, frame, epoch));
  }
  if (result == ERROR_VALUE) return ERROR_VALUE;
  if (CodeChanged(in, epoch)) {
    Ref rest = Cdr(in, link);
    return IsList(in, rest) ? RunBody(in, rest, frame) : result;
  }
  return result;
}

// Runs body, the forms of the user function f, whose definition is
// definition, in frame, the Frame its call has just set up; epoch is the
// codeEpoch of the moment the call named its parameters, and decoded what
// DecodedBody gave then. The value is that of RunBody on the forms.
[[gnu::always_inline]] inline Ref RunFunctionBody(Interp& in, FunctionEntry& f,
                                                  Ref definition, Ref body,
                                                  Frame& frame, uint32_t epoch,
                                                  const CodeNode* decoded) {
  // The parameters were named from the Cells as they were at epoch.
  if (CodeChanged(in, epoch)) return RunBody(in, body, frame);
  if (decoded != nullptr) {
    const CodeNode* first = BodyForms(decoded);
    if (decoded->row != 0) return RunSoleCond(in, first, frame, epoch);
    return RunForms(in, first, NextNode(decoded), frame, epoch);
  }
  if (!in.decodeBodies) return RunBody(in, body, frame);
  if (f.decodedDefinition != definition || f.decodedEpoch != epoch)
    return DecodeAndRunBody(in, f, definition, body, frame);
  return RunBody(in, body, frame);  // a body that did not fit
}

}  // namespace vex
