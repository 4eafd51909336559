// The one table of built-in names, in the order the evaluator tests them,
// and the call of a row.
//
// Design note. Each row gets its own caller, generated from the table at
// compile time: its argument count and mode are constants there and its
// handler a direct call. With the user functions' caller in front of them,
// a call form costs the evaluator one indirect call through the callers'
// array, whatever its operator, instead of a test and a decoding of the row.
#include "eval/builtins.h"

#include <array>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "core/messages.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

namespace {

using M = ArgMode;

constexpr BuiltinRow kRows[BUILTIN_COUNT] = {
    {u"fd", M::PassEvaluated, 1, BuiltinFd},
    {u"lt", M::PassEvaluated, 1, BuiltinLt},
    {u"rt", M::PassEvaluated, 1, BuiltinRt},
    {u"bk", M::PassEvaluated, 1, BuiltinBk},
    {u"pen", M::None, 0, BuiltinPen},
    {u"pu", M::None, 0, BuiltinPu},
    {u"pd", M::None, 0, BuiltinPd},
    {u"inkey", M::None, 0, BuiltinInkey},
    {u"setpos", M::Evaluated, 2, BuiltinSetpos},
    {u"ht", M::None, 0, BuiltinHt},
    {u"xcor", M::None, 0, BuiltinXcor},
    {u"ycor", M::None, 0, BuiltinYcor},
    {u"getangle", M::None, 0, BuiltinGetangle},
    {u"setangle", M::Evaluated, 1, BuiltinSetangle},
    {u"st", M::None, 0, BuiltinSt},
    {u"quote", M::Special, 1, BuiltinQuote},
    {u"car", M::Evaluated, 1, BuiltinCar},
    {u"cdr", M::Evaluated, 1, BuiltinCdr},
    {u"cons", M::Special, 2, BuiltinCons},
    {u"print", M::Special, 1, BuiltinPrint},
    {u"set", M::Evaluated, 2, BuiltinSet},
    {u"setq", M::Special, 2, BuiltinSetq},
    {u"and", M::Special, 0, BuiltinAnd},
    {u"or", M::Special, 0, BuiltinOr},
    {u"atom", M::Evaluated, 1, BuiltinAtom},
    {u"numberp", M::Evaluated, 1, BuiltinNumberp},
    {u"eval", M::Special, 1, BuiltinEval},
    {u"*", M::Special, 0, BuiltinTimes},
    {u"+", M::Special, 0, BuiltinPlus},
    {u"-", M::Special, 0, BuiltinMinus},
    {u"/", M::Special, 0, BuiltinDivide},
    {u"=", M::Evaluated, 2, BuiltinNumEqual},
    {u"eq", M::Evaluated, 2, BuiltinEq},
    {u"null", M::Evaluated, 1, BuiltinNull},
    {u"progn", M::Special, 0, BuiltinProgn},
    {u"minusp", M::Evaluated, 1, BuiltinMinusp},
    {u"cond", M::Special, 0, BuiltinCond},
    {u"loop", M::Special, 0, BuiltinLoop},
    {u"load", M::Evaluated, 1, BuiltinLoad},
    {u"random", M::Evaluated, 1, BuiltinRandom},
    {u"sqrt", M::Evaluated, 1, BuiltinSqrt},
    {u"xwidth", M::None, 0, BuiltinXwidth},
    {u"ywidth", M::None, 0, BuiltinYwidth},
    {u"xcenter", M::None, 0, BuiltinXcenter},
    {u"ycenter", M::None, 0, BuiltinYcenter},
    {u"cs", M::None, 0, BuiltinCs},
    {u"setpc", M::Evaluated, 1, BuiltinSetpc},
    {u"setf", M::Special, 2, BuiltinSetf},
    {u"putd", M::Evaluated, 2, BuiltinPutd},
    {u"gethash", M::Special, 2, BuiltinGethash},
    {u"remhash", M::Special, 2, BuiltinRemhash},
    {u"make-hash-table", M::None, 0, BuiltinMakeHashTable},
    {u"defun", M::Special, 2, BuiltinDefun},
    {u"funcall", M::Special, 1, BuiltinFuncall},
    {u"apply", M::Special, 1, BuiltinApply},
    {u"sleep", M::Evaluated, 1, BuiltinSleep},
    {u"printout", M::Evaluated, 2, BuiltinPrintout},
    {u"writelc", M::Evaluated, 3, BuiltinWritelc},
    {u"readlc", M::Evaluated, 1, BuiltinReadlc},
    {u"gc", M::None, 0, BuiltinGc},
    {u"list", M::Special, 0, BuiltinList},
    {u"getpoint", M::None, 0, BuiltinGetpoint},
    {u"getcorner", M::Evaluated, 1, BuiltinGetcorner},
    {u"arc", M::Special, 0, BuiltinArc},
};

// The first row of each name; built once, read-only afterwards.
const std::unordered_map<std::u16string_view, int>& RowIndex() {
  static const auto* index = [] {
    auto* m = new std::unordered_map<std::u16string_view, int>();
    for (int i = BUILTIN_COUNT - 1; i >= 0; --i) (*m)[kRows[i].name] = i + 1;
    return m;
  }();
  return *index;
}

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
      if (!HasArgs(in, args, r.minArgs)) {
        ShowError(in, msg::SYNTAX_ERROR);
        return ERROR_VALUE;
      }
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

int BuiltinRowOf(std::u16string_view name) {
  const auto& index = RowIndex();
  auto found = index.find(name);
  return found == index.end() ? 0 : found->second;
}

}  // namespace vex
