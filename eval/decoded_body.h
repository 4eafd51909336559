// Running decoded bodies: the operands and tests answered in place, cond,
// and the body of a user function.
//
// Design note. These are in a header so that a call of a user function can
// run its body in the same machine frame: most small functions are one
// cond, and running it without a call of its own spares a twentieth of
// what such a call costs. Each path does exactly what the node's runner in
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
  Ref value;     // the value; an arithmetic operand's is made by DoLeanOf
  Ref source;    // car, cdr: the list; arithmetic: its two operands, which
  Ref other;     // are pushed before its result
  float result;  // arithmetic: the value of the number it makes
};

inline bool IsArithmeticKind(uint8_t kind) {
  return kind >= K_ADD && kind <= K_DIVIDE;
}

// The shapes of lean operands. The decoder records those of the two
// operands of =, cons and arithmetic in the node's count (LeanShapes), so
// that planning them needs no look at their kinds.
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
    o.value = SimpleValue(in, n, frame);
    return o.value != ERROR_VALUE;
  } else if constexpr (shape == SHAPE_LIST_PART) {
    Ref v = SimpleValue(in, n + 1, frame);
    if (v == ERROR_VALUE || !IsList(in, v)) return false;
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

// Whether two planned operands of a form fit what their evaluation needs,
// beside the form's own step: a level below the limit for the calls among
// them, their steps, room on the CellStack for them and the form, and for
// an arithmetic operand two free Cells and NumberSlots, so that making its
// number cannot fail. calls is how many of them are car, cdr or arithmetic
// (LeanCalls); two arithmetic operands are left to the runners.
[[gnu::always_inline]] inline bool LeanRoomFor(const Interp& in, int32_t calls,
                                               bool arithmetic) {
  return in.depth + uint32_t(calls != 0) < in.depthLimit &&
         in.pollCountdown >= 1 + calls &&
         in.cellTop + 8 < uint32_t(CELL_STACK_CAPACITY - 1) &&
         (!arithmetic || (FreeCells(in) > 1 && FreeNumbers(in) > 1));
}

// Does a planned operand of the given shape (see LeanRoomFor for the room
// it needs); its value.
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

// The count of an =, cons or arithmetic node whose two operands have the
// lean shapes x and y (not both arithmetic); 0 for other operands.
constexpr uint16_t LeanShapes(LeanShape x, LeanShape y) {
  return uint16_t(1 + 3 * x + y);
}

// body.operator()<x, y>() for the shapes that shapes records, a count as
// LeanShapes makes it; ERROR_VALUE for a count of 0.
template <typename Body>
[[gnu::always_inline]] inline Ref WithLeanShapes(uint16_t shapes, Body body) {
  constexpr LeanShape S = SHAPE_SIMPLE, L = SHAPE_LIST_PART,
                      A = SHAPE_ARITHMETIC;
  switch (shapes) {
    case LeanShapes(S, S):
      return body.template operator()<S, S>();
    case LeanShapes(S, L):
      return body.template operator()<S, L>();
    case LeanShapes(S, A):
      return body.template operator()<S, A>();
    case LeanShapes(L, S):
      return body.template operator()<L, S>();
    case LeanShapes(L, L):
      return body.template operator()<L, L>();
    case LeanShapes(L, A):
      return body.template operator()<L, A>();
    case LeanShapes(A, S):
      return body.template operator()<A, S>();
    case LeanShapes(A, L):
      return body.template operator()<A, L>();
    default:
      return ERROR_VALUE;
  }
}

// How many of two operands of the shapes x and y are calls: car, cdr or
// arithmetic.
template <LeanShape x, LeanShape y>
constexpr int32_t LeanCalls() {
  return int32_t(x != SHAPE_SIMPLE) + int32_t(y != SHAPE_SIMPLE);
}

// Plans the two operand nodes of n, of the shapes x and y, into a and b;
// false when either could fail or they do not fit (LeanRoomFor).
template <LeanShape x, LeanShape y>
[[gnu::always_inline]] inline bool PlanLeanPair(Interp& in, const CodeNode* n,
                                                const Frame& frame,
                                                LeanOperand& a,
                                                LeanOperand& b) {
  return PlanLeanOf<x>(in, n + 1, frame, a) &&
         PlanLeanOf<y>(in, NextNode(n + 1), frame, b) &&
         LeanRoomFor(in, LeanCalls<x, y>(),
                     x == SHAPE_ARITHMETIC || y == SHAPE_ARITHMETIC);
}

// = of two lean operands by the shapes its node records, as a test: T or
// NIL, or ERROR_VALUE having done nothing.
[[gnu::noinline]] inline Ref TryNumberEqual(Interp& in, const CodeNode* n,
                                            const Frame& frame) {
  return WithLeanShapes(n->count, [&]<LeanShape x, LeanShape y>() {
    constexpr bool xa = x == SHAPE_ARITHMETIC, ya = y == SHAPE_ARITHMETIC;
    LeanOperand a, b;
    if (!PlanLeanPair<x, y>(in, n, frame, a, b) ||
        (!xa && !IsNumber(in, a.value)) || (!ya && !IsNumber(in, b.value)))
      return ERROR_VALUE;
    --in.pollCountdown;
    float p = NumberValue(in, DoLeanOf<x>(in, a));
    float q = NumberValue(in, DoLeanOf<y>(in, b));
    return p == q ? in.T : in.NIL;
  });
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
    // minusp's step and its argument's, taken once the argument is done:
    // the room for both steps and both levels is looked at above, and
    // nothing in between reads the level, so it is not moved.
    float value;
    Ref v = PairArithmetic<Op::Subtract, true>(in, arg, frame, &value);
    if (v != ERROR_VALUE) {
      --in.pollCountdown;
      return value < 0.0f ? in.T : in.NIL;
    }
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
    // A test that is a global variable, as a last clause's T, is read as
    // RunNode reads it.
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
  Ref link = n->link;
  Ref result;
  {
    // The cond's step and that of its level are taken at once when neither
    // can stop the run.
    bool quick = in.pollCountdown >= 2 && in.depth < in.depthLimit;
    if (quick)
      in.pollCountdown -= 2;
    else if (RunMustStop(in))
      return ERROR_VALUE;
    CallLevel<false> level(in);
    if (!quick && !level.Enter()) return ERROR_VALUE;
    result = Protect(in, RunCond(in, n, frame, epoch));
  }
  if (result == ERROR_VALUE) return ERROR_VALUE;
  if (CodeChanged(in, epoch)) {
    Ref rest = Cdr(in, link);
    return IsList(in, rest) ? RunBody(in, rest, frame) : result;
  }
  return result;
}

// The same for a body known to be decoded (decoded is not nullptr).
[[gnu::always_inline]] inline Ref RunDecodedBody(Interp& in, Ref body,
                                                 Frame& frame, uint32_t epoch,
                                                 const CodeNode* decoded) {
  if (CodeChanged(in, epoch)) return RunBody(in, body, frame);
  const CodeNode* first = BodyForms(decoded);
  if (decoded->row != 0) return RunSoleCond(in, first, frame, epoch);
  return RunForms(in, first, NextNode(decoded), frame, epoch);
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
  if (decoded != nullptr)
    return RunDecodedBody(in, body, frame, epoch, decoded);
  if (CodeChanged(in, epoch)) return RunBody(in, body, frame);
  if (!in.decodeBodies) return RunBody(in, body, frame);
  if (f.decodedDefinition != definition || f.decodedEpoch != epoch)
    return DecodeAndRunBody(in, f, definition, body, frame);
  return RunBody(in, body, frame);  // a body that did not fit
}

}  // namespace vex
