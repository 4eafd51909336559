// The arithmetic shared by the built-ins and decoded bodies.
#pragma once

#include "core/messages.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

enum class Op { Add, Multiply, Subtract, Divide };

template <Op op>
float ApplyOp(float acc, float x) {
  if constexpr (op == Op::Add) return acc + x;
  if constexpr (op == Op::Multiply) return acc * x;
  if constexpr (op == Op::Subtract) return acc - x;
  return acc / x;
}

// One step of an arithmetic fold, acc op x into acc; false after
// "0で除算しました" for a zero divisor, the one operation that can fail.
template <Op op>
[[gnu::always_inline]] inline bool Step(Interp& in, float& acc, float x) {
  if (op == Op::Divide && x == 0.0f) {
    Fail(in, msg::DIVIDED_BY_ZERO);
    return false;
  }
  acc = ApplyOp<op>(acc, x);
  return true;
}

// The number a value is, into x; false after "数値ではありません" (or at
// once for ERROR_VALUE, whose failure was shown).
inline bool AsNumber(Interp& in, Ref v, float& x) {
  if (v == ERROR_VALUE) return false;
  const Cell& c = LiveCell(in, v);
  if (c.tag != TAG_NUMBER) {
    ShowError(in, msg::NOT_A_NUMBER);
    return false;
  }
  x = in.numbers[c.car].value;
  return true;
}

// Evaluates the next argument as a number into x; false after a failure.
inline bool NextNumber(Interp& in, Ref& args, Frame& frame, float& x) {
  const Cell& link = LiveCell(in, args);
  Ref v = EvalProtect(in, link.car, frame);
  args = link.cdr;
  return AsNumber(in, v, x);
}

// Goes on from acc over the argument forms left in p (a zero divisor of /
// fails), then makes the result.
template <Op op>
Ref FoldRest(Interp& in, Ref p, Frame& frame, float acc) {
  while (IsList(in, p)) {
    float x;
    if (!NextNumber(in, p, frame, x) || !Step<op>(in, acc, x))
      return ERROR_VALUE;
  }
  return MakeNumber(in, acc);
}

}  // namespace vex
