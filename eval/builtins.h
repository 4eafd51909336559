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
  Handler handler;
};

constexpr int BUILTIN_COUNT = 64;

// The row of a built-in, 1..64.
const BuiltinRow& BuiltinRowAt(int row);
// Calls the operator of the call form in frame by the row of its name: for
// a built-in (1..64) the row's argument count, then for an evaluated row its
// arguments, then its handler; for 0 the user function (CallFunction). The
// value is protected as EvalProtect does.
Ref CallOperator(Interp& in, int row, Ref form, Frame& frame);

// The handlers, each defined in the file of its family: the evaluator's own
// rows in eval/, loading in reader/, turtle graphics in turtle/.
#define VEX_BUILTIN(name, mode, minArgs, handler) \
  Ref handler(Interp&, CallArgs&);
#include "core/builtins.def"
#undef VEX_BUILTIN

}  // namespace vex
