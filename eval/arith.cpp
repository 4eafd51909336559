// Arithmetic, comparison and predicates.
//
// Numbers are 32-bit floats and every step is rounded to one: the
// accumulators are floats and each operation is stored back before the next.
// Every numeric result is a new number Cell made after all arguments have
// been evaluated.
#include "eval/arith.h"

#include "core/messages.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

namespace {

Ref Truth(Interp& in, bool b) { return b ? in.T : in.NIL; }

// + and *: from the identity, over any number of arguments.
template <Op op>
Ref Fold(Interp& in, CallArgs& a, float identity) {
  return FoldRest<op>(in, a.args, *a.frame, identity);
}

// - and /: from the first argument, which must be there.
template <Op op>
Ref FoldFromFirst(Interp& in, CallArgs& a) {
  if (!IsList(in, a.args)) return Fail(in, msg::TOO_FEW_ARGUMENTS);
  Ref p = a.args;
  float acc;
  if (!NextNumber(in, p, *a.frame, acc)) return ERROR_VALUE;
  return FoldRest<op>(in, p, *a.frame, acc);
}

}  // namespace

Ref BuiltinPlus(Interp& in, CallArgs& a) { return Fold<Op::Add>(in, a, 0); }
Ref BuiltinTimes(Interp& in, CallArgs& a) {
  return Fold<Op::Multiply>(in, a, 1);
}
Ref BuiltinMinus(Interp& in, CallArgs& a) {
  return FoldFromFirst<Op::Subtract>(in, a);
}
Ref BuiltinDivide(Interp& in, CallArgs& a) {
  return FoldFromFirst<Op::Divide>(in, a);
}

Ref BuiltinNumEqual(Interp& in, CallArgs& a) {
  if (!IsNumber(in, a.v[0]) || !IsNumber(in, a.v[1]))
    return Fail(in, msg::SYNTAX_ERROR);
  return Truth(in, NumberValue(in, a.v[0]) == NumberValue(in, a.v[1]));
}

Ref BuiltinMinusp(Interp& in, CallArgs& a) {
  if (!IsNumber(in, a.v[0])) return Fail(in, msg::NOT_A_NUMBER);
  return Truth(in, NumberValue(in, a.v[0]) < 0.0f);
}

Ref BuiltinEq(Interp& in, CallArgs& a) {
  Ref x = a.v[0];
  Ref y = a.v[1];
  switch (Tag(in, x)) {
    case TAG_SYMBOL:
      return Truth(in,
                   IsSymbol(in, y) && SymbolName(in, x) == SymbolName(in, y));
    case TAG_NUMBER:
      return Truth(in,
                   IsNumber(in, y) && NumberValue(in, x) == NumberValue(in, y));
    case TAG_LIST:
      return Truth(in, x == y);
    default:
      return in.NIL;
  }
}

Ref BuiltinAtom(Interp& in, CallArgs& a) {
  return Truth(in, !IsList(in, a.v[0]));
}

Ref BuiltinNumberp(Interp& in, CallArgs& a) {
  return Truth(in, IsNumber(in, a.v[0]));
}

Ref BuiltinNull(Interp& in, CallArgs& a) {
  return Truth(in, IsNil(in, a.v[0]));
}

}  // namespace vex
