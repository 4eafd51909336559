// The table of the 64 built-in names and the handlers it dispatches to.
//
// The evaluator recognises built-ins in the order of this table (the first
// equal name wins), checks the argument count a row asks for, evaluates the
// arguments of an "evaluated" row, and calls the handler. Each family of
// built-ins lives in its own file and defines its handlers there.
#pragma once

#include <string_view>

#include "core/interp.h"

namespace vex {

// What a handler receives: the unevaluated argument list (the form's cdr),
// the current Frame, and, for an evaluated row, the values of its first
// arguments (which may be ERROR_VALUE for the rows that test it themselves).
struct CallArgs {
  Ref args;
  Frame* frame;
  Ref v[3];
};

using Handler = Ref (*)(Interp& in, CallArgs& a);

enum class ArgMode : uint8_t {
  None,           // the rest of the form is not looked at
  Evaluated,      // at least minArgs, evaluated before the handler runs
  PassEvaluated,  // as Evaluated, but a failed value reaches the handler
  Special,        // at least minArgs; the handler decides what to evaluate
};

struct BuiltinRow {
  const char16_t* name;
  ArgMode mode;
  uint8_t minArgs;
  Handler handler;  // nullptr: not available in this build
};

constexpr int BUILTIN_COUNT = 64;

// The row of a built-in, 1..64.
const BuiltinRow& BuiltinRowAt(int row);
// Row 1..64 of the built-in named name, or 0.
int BuiltinRowOf(std::u16string_view name);
// Calls the operator of the call form in frame by the row of its name: for
// a built-in (1..64) the row's argument count, then for an evaluated row its
// arguments, then its handler; for 0 the user function (CallFunction). The
// value is protected as EvalProtect does.
Ref CallOperator(Interp& in, int row, Ref form, Frame& frame);

// Special forms and the evaluator's own rows (eval/eval.cpp).
Ref BuiltinQuote(Interp&, CallArgs&);
Ref BuiltinSet(Interp&, CallArgs&);
Ref BuiltinSetq(Interp&, CallArgs&);
Ref BuiltinAnd(Interp&, CallArgs&);
Ref BuiltinOr(Interp&, CallArgs&);
Ref BuiltinEval(Interp&, CallArgs&);
Ref BuiltinProgn(Interp&, CallArgs&);
Ref BuiltinCond(Interp&, CallArgs&);
Ref BuiltinLoop(Interp&, CallArgs&);
Ref BuiltinGc(Interp&, CallArgs&);

// Arithmetic and predicates (eval/arith.cpp).
Ref BuiltinTimes(Interp&, CallArgs&);
Ref BuiltinPlus(Interp&, CallArgs&);
Ref BuiltinMinus(Interp&, CallArgs&);
Ref BuiltinDivide(Interp&, CallArgs&);
Ref BuiltinNumEqual(Interp&, CallArgs&);
Ref BuiltinEq(Interp&, CallArgs&);
Ref BuiltinAtom(Interp&, CallArgs&);
Ref BuiltinNumberp(Interp&, CallArgs&);
Ref BuiltinNull(Interp&, CallArgs&);
Ref BuiltinMinusp(Interp&, CallArgs&);

// Lists (eval/lists.cpp).
Ref BuiltinCar(Interp&, CallArgs&);
Ref BuiltinCdr(Interp&, CallArgs&);
Ref BuiltinCons(Interp&, CallArgs&);
Ref BuiltinList(Interp&, CallArgs&);

// User functions (eval/functions.cpp).
Ref BuiltinDefun(Interp&, CallArgs&);
Ref BuiltinPutd(Interp&, CallArgs&);
Ref BuiltinFuncall(Interp&, CallArgs&);
Ref BuiltinApply(Interp&, CallArgs&);

// Loading (reader/loader.cpp).
Ref BuiltinLoad(Interp&, CallArgs&);

// Hash tables and setf (eval/hash.cpp, eval/setf.cpp).
Ref BuiltinGethash(Interp&, CallArgs&);
Ref BuiltinRemhash(Interp&, CallArgs&);
Ref BuiltinMakeHashTable(Interp&, CallArgs&);
Ref BuiltinSetf(Interp&, CallArgs&);

// Turtle and drawing (turtle/).
Ref BuiltinFd(Interp&, CallArgs&);
Ref BuiltinLt(Interp&, CallArgs&);
Ref BuiltinRt(Interp&, CallArgs&);
Ref BuiltinBk(Interp&, CallArgs&);
Ref BuiltinPen(Interp&, CallArgs&);
Ref BuiltinPu(Interp&, CallArgs&);
Ref BuiltinPd(Interp&, CallArgs&);
Ref BuiltinInkey(Interp&, CallArgs&);
Ref BuiltinSetpos(Interp&, CallArgs&);
Ref BuiltinHt(Interp&, CallArgs&);
Ref BuiltinXcor(Interp&, CallArgs&);
Ref BuiltinYcor(Interp&, CallArgs&);
Ref BuiltinGetangle(Interp&, CallArgs&);
Ref BuiltinSetangle(Interp&, CallArgs&);
Ref BuiltinSt(Interp&, CallArgs&);
Ref BuiltinPrint(Interp&, CallArgs&);
Ref BuiltinRandom(Interp&, CallArgs&);
Ref BuiltinSqrt(Interp&, CallArgs&);
Ref BuiltinXwidth(Interp&, CallArgs&);
Ref BuiltinYwidth(Interp&, CallArgs&);
Ref BuiltinXcenter(Interp&, CallArgs&);
Ref BuiltinYcenter(Interp&, CallArgs&);
Ref BuiltinCs(Interp&, CallArgs&);
Ref BuiltinSetpc(Interp&, CallArgs&);
Ref BuiltinSleep(Interp&, CallArgs&);
Ref BuiltinPrintout(Interp&, CallArgs&);
Ref BuiltinWritelc(Interp&, CallArgs&);
Ref BuiltinReadlc(Interp&, CallArgs&);
Ref BuiltinGetpoint(Interp&, CallArgs&);
Ref BuiltinGetcorner(Interp&, CallArgs&);
Ref BuiltinArc(Interp&, CallArgs&);

}  // namespace vex
