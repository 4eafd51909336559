// The evaluator and its special forms.
//
// Design note. Evaluation is recursive; every sub-form goes through
// EvalProtect, which pushes each non-symbol result on the CellStack so the
// collector sees it for the rest of the unit of work. Operators are looked up
// through the interned name's side table: the built-in row first (the table
// order decides, and a built-in name can never be called as a user
// function), then the FunctionTable. The depth of nesting is bounded by the
// evaluating thread's stack: when the guard the host set is exceeded the
// evaluation fails with a message instead of overflowing.
#include "eval/eval.h"

#include <cstdint>

#include "core/assert.h"
#include "core/messages.h"
#include "memory/memory.h"

namespace vex {

int32_t ListLength(Interp& in, Ref list) {
  // A chain longer than all the Cells ever handed out is circular.
  int32_t most = int32_t(in.cellHigh) + 1;
  int32_t n = 0;
  for (; IsList(in, list) && n < most; list = Cdr(in, list)) ++n;
  return n;
}

bool HasArgs(Interp& in, Ref list, int n) {
  for (int k = 0; k < n; ++k, list = Cdr(in, list))
    if (!IsList(in, list)) return false;
  return true;
}

namespace {

Binding* FindLocal(Interp& in, const Frame& frame, NameRef name) {
  Binding* b = in.bindings + frame.base;
  for (Binding* end = b + frame.count; b != end; ++b)
    if (b->name == name) return b;
  return nullptr;
}

[[gnu::noinline, gnu::cold]] Ref NotASymbolHead(Interp& in) {
  return Fail(in, msg::SYNTAX_ERROR);
}

}  // namespace

Ref NestingTooDeep(Interp& in) { return Fail(in, msg::NESTING_TOO_DEEP); }

Ref UnboundVariable(Interp& in) { return Fail(in, msg::UNBOUND_VARIABLE); }

bool CheckInterrupt(Interp& in) {
  if (in.runStopped || in.closing) {
    in.pollCountdown = 0;  // look again at the next step: the run unwinds
    return true;
  }
  in.pollCountdown = INTERRUPT_INTERVAL - 1;
  bool spent = false;
  if (in.stepBudget >= 0) {
    in.stepBudget -= INTERRUPT_INTERVAL;
    spent = in.stepBudget < 0;
  }
  if (!in.interruptRequested.exchange(false) && !spent) return false;
  in.runStopped = true;
  in.pollCountdown = 0;
  ShowError(in, msg::INTERRUPTED);
  return true;
}

// Evaluating a call nests one level deeper, so it is where the depth guard
// and the interrupt poll look (CallLevel); numbers and symbols never
// recurse.
Ref EvalCallProtect(Interp& in, Ref form, Frame& frame) {
  CallLevel<> level(in);
  if (!level.Enter()) return ERROR_VALUE;
  const Cell& head = LiveCell(in, Car(in, form));
  if (head.tag != TAG_SYMBOL) return NotASymbolHead(in);
  return CallOperator(in, in.names[head.car].builtin, form, frame);
}

// A symbol's value: the Frame's Binding of its name, else the global
// variable.
Ref EvalSymbolProtect(Interp& in, NameRef name, const Frame& frame) {
  if (const Binding* b = FindLocal(in, frame, name))
    return Protect(in, b->value);
  int32_t g = FindGlobal(in, name);
  if (g < 0) return UnboundVariable(in);
  return Protect(in, in.globals[g].value);
}

Ref Assign(Interp& in, Ref symbol, Ref value, Frame& frame) {
  NameRef name = SymbolName(in, symbol);
  if (Binding* b = FindLocal(in, frame, name)) {
    b->value = value;
    return value;
  }
  int32_t g = FindOrAddGlobal(in, name);
  if (g < 0) return ERROR_VALUE;
  in.globals[g].value = value;
  return value;
}

Ref BuiltinQuote(Interp& in, CallArgs& a) { return Car(in, a.args); }

Ref SetqTo(Interp& in, Ref args, Ref value, Frame& frame) {
  Ref target = Car(in, args);
  if (!IsSymbol(in, target)) return Fail(in, msg::SYNTAX_ERROR);
  return Assign(in, target, value, frame);
}

Ref BuiltinSetq(Interp& in, CallArgs& a) {
  Ref value = EvalProtect(in, Car(in, Cdr(in, a.args)), *a.frame);
  if (value == ERROR_VALUE) return ERROR_VALUE;
  return SetqTo(in, a.args, value, *a.frame);
}

Ref BuiltinSet(Interp& in, CallArgs& a) {
  if (!IsSymbol(in, a.v[0])) return Fail(in, msg::SYNTAX_ERROR);
  return Assign(in, a.v[0], a.v[1], *a.frame);
}

Ref AndFrom(Interp& in, Ref p, Frame& frame) {
  for (; IsList(in, p); p = Cdr(in, p)) {
    if (RunMustStop(in)) return ERROR_VALUE;
    Ref v = EvalProtect(in, Car(in, p), frame);
    if (v == ERROR_VALUE) return ERROR_VALUE;
    if (IsNil(in, v)) return in.NIL;
  }
  return in.T;
}

Ref OrFrom(Interp& in, Ref p, Frame& frame) {
  for (; IsList(in, p); p = Cdr(in, p)) {
    if (RunMustStop(in)) return ERROR_VALUE;
    Ref v = EvalProtect(in, Car(in, p), frame);
    if (v == ERROR_VALUE) return ERROR_VALUE;
    if (!IsNil(in, v)) return in.T;
  }
  return in.NIL;
}

Ref BuiltinAnd(Interp& in, CallArgs& a) {
  return AndFrom(in, a.args, *a.frame);
}

Ref BuiltinOr(Interp& in, CallArgs& a) { return OrFrom(in, a.args, *a.frame); }

Ref BuiltinEval(Interp& in, CallArgs& a) {
  Ref v = EvalProtect(in, Car(in, a.args), *a.frame);
  if (v == ERROR_VALUE) return ERROR_VALUE;
  return EvalProtect(in, v, *a.frame);
}

Ref BuiltinProgn(Interp& in, CallArgs& a) {
  return RunBody(in, a.args, *a.frame);
}

Ref CondFrom(Interp& in, Ref clauses, Frame& frame) {
  for (Ref p = clauses; IsList(in, p); p = Cdr(in, p)) {
    if (RunMustStop(in)) return ERROR_VALUE;
    Ref clause = Car(in, p);
    if (!IsList(in, clause)) return in.NIL;
    Ref test = EvalProtect(in, Car(in, clause), frame);
    if (test == ERROR_VALUE) return ERROR_VALUE;
    if (!IsNil(in, test)) return RunBody(in, Cdr(in, clause), frame);
  }
  return in.NIL;
}

Ref BuiltinCond(Interp& in, CallArgs& a) {
  return CondFrom(in, a.args, *a.frame);
}

Ref LoopFrom(Interp& in, Ref args, Ref rest, uint32_t depth, Frame& frame) {
  for (;;) {
    for (Ref p = rest; IsList(in, p); p = Cdr(in, p)) {
      if (RunMustStop(in)) return ERROR_VALUE;
      Ref form = Car(in, p);
      if (IsList(in, form) && IsList(in, Car(in, form))) {
        Ref test = EvalProtect(in, Car(in, form), frame);
        if (test == ERROR_VALUE) return ERROR_VALUE;
        if (!IsNil(in, test)) return RunBody(in, Cdr(in, form), frame);
      } else if (EvalProtect(in, form, frame) == ERROR_VALUE) {
        return ERROR_VALUE;
      }
    }
    EndLoopPass(in, depth);
    if (RunMustStop(in)) return ERROR_VALUE;
    rest = args;
  }
}

Ref BuiltinLoop(Interp& in, CallArgs& a) {
  // A loop with no exit runs until the run is interrupted or the window
  // closes.
  if (RunMustStop(in)) return ERROR_VALUE;
  return LoopFrom(in, a.args, a.args, in.cellTop, *a.frame);
}

Ref BuiltinGc(Interp& in, CallArgs&) {
  Collect(in);
  return in.T;
}

}  // namespace vex
