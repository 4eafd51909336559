// The call of a built-in's row (the rows are core/builtins.def).
//
// Design note. Each row gets its own caller, generated from the table at
// compile time: its argument count and mode are constants there and its
// handler a direct call. With the user functions' caller in front of them,
// a call form costs the evaluator one indirect call through the callers'
// array, whatever its operator, instead of a test and a decoding of the row.
#include "eval/builtins.h"

#include <array>
#include <utility>

#include "core/messages.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

namespace {

using M = ArgMode;

constexpr BuiltinRow kRows[BUILTIN_COUNT] = {
#define VEX_BUILTIN(name, mode, minArgs, handler) \
  {name, M::mode, minArgs, handler},
#include "core/builtins.def"
#undef VEX_BUILTIN
};

// The call of row Row: at least minArgs arguments, else "文法エラー" before
// anything is evaluated; for an evaluated row its arguments, left to right;
// then the handler, whose value is protected here. Row 0, a name without a
// built-in, is a user function's. Each row protecting its own values keeps
// the test for a symbol apart per row, where it is nearly always predicted.
template <int Row>
Ref CallRow(Interp& in, Ref form, Frame& frame) {
  if constexpr (Row == 0) {
    return Protect(in, CallFunction(in, form, frame));
  } else {
    constexpr const BuiltinRow& r = kRows[Row - 1];
    Ref args = Cdr(in, form);
    CallArgs a{args, &frame, {ERROR_VALUE, ERROR_VALUE, ERROR_VALUE}};
    if constexpr (r.minArgs != 0) {
      if (!HasArgs(in, args, r.minArgs)) return Fail(in, msg::SYNTAX_ERROR);
    }
    if constexpr (r.mode == ArgMode::Evaluated ||
                  r.mode == ArgMode::PassEvaluated) {
      if (!EvaluateArgumentForms(in, args, 0, r.minArgs,
                                 r.mode == ArgMode::Evaluated, a))
        return ERROR_VALUE;
    }
    return Protect(in, r.handler(in, a));
  }
}

using RowCaller = Ref (*)(Interp& in, Ref form, Frame& frame);

template <int... Row>
constexpr auto MakeCallers(std::integer_sequence<int, Row...>) {
  return std::array<RowCaller, BUILTIN_COUNT + 1>{CallRow<Row>...};
}

constexpr auto kCallers =
    MakeCallers(std::make_integer_sequence<int, BUILTIN_COUNT + 1>());

}  // namespace

Ref CallOperator(Interp& in, int row, Ref form, Frame& frame) {
  return kCallers[row](in, form, frame);
}

const BuiltinRow& BuiltinRowAt(int row) { return kRows[row - 1]; }

}  // namespace vex
