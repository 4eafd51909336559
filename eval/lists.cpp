// The list built-ins: car, cdr, cons, list.
//
// cons and list take their Cells before the later arguments are evaluated,
// and any of those evaluations may call a user function that collects. The
// Cells are therefore given harmless contents and pushed on the CellStack as
// soon as they are taken, so the collector neither frees nor reuses them.
#include "core/messages.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

Ref RootedCell(Interp& in) {
  Ref c = MakeList(in, in.NIL, in.NIL);
  if (c == ERROR_VALUE || !PushCell(in, c)) return ERROR_VALUE;
  return c;
}

Ref BuiltinCar(Interp& in, CallArgs& a) {
  if (!IsList(in, a.v[0])) return Fail(in, msg::SYNTAX_ERROR);
  return Car(in, a.v[0]);
}

Ref BuiltinCdr(Interp& in, CallArgs& a) {
  if (!IsList(in, a.v[0])) return Fail(in, msg::SYNTAX_ERROR);
  return Cdr(in, a.v[0]);
}

Ref BuiltinCons(Interp& in, CallArgs& a) {
  Ref pair = RootedCell(in);
  if (pair == ERROR_VALUE) return ERROR_VALUE;
  Ref car = EvalProtect(in, Car(in, a.args), *a.frame);
  if (car == ERROR_VALUE) return ERROR_VALUE;
  in.cells[pair].car = car;
  Ref cdr = EvalProtect(in, Car(in, Cdr(in, a.args)), *a.frame);
  if (cdr == ERROR_VALUE) return ERROR_VALUE;
  in.cells[pair].cdr = cdr;
  return pair;
}

Ref BuiltinList(Interp& in, CallArgs& a) {
  if (!IsList(in, a.args)) return in.NIL;
  Ref first = RootedCell(in);
  if (first == ERROR_VALUE) return ERROR_VALUE;
  Ref current = first;
  for (Ref p = a.args;;) {
    Ref v = EvalProtect(in, Car(in, p), *a.frame);
    if (v == ERROR_VALUE) return ERROR_VALUE;
    in.cells[current].car = v;
    p = Cdr(in, p);
    if (!IsList(in, p)) return first;
    // Linked before the next evaluation, so it is reachable from first.
    Ref next = MakeList(in, in.NIL, in.NIL);
    if (next == ERROR_VALUE) return ERROR_VALUE;
    in.cells[current].cdr = next;
    current = next;
  }
}

}  // namespace vex
