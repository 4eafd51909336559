// setf: assignment to a variable, a car or cdr, or a hash-table entry.
//
// The value is evaluated first, before any part of the place and before the
// place's shape is checked; then the place's parts in order. No store is
// made once a failure has been found.
#include "core/messages.h"
#include "eval/eval.h"
#include "eval/hash.h"
#include "memory/memory.h"

namespace vex {

namespace {

// (car x), (first x), (cdr x), (rest x): stores into the car or the cdr of
// the list Cell x evaluates to.
Ref StoreInCell(Interp& in, Ref place, Ref value, Frame& frame, bool intoCar) {
  Ref rest = Cdr(in, place);
  if (!IsList(in, rest)) return Fail(in, msg::SETF_SYNTAX);
  Ref object = EvalProtect(in, Car(in, rest), frame);
  if (object == ERROR_VALUE) return ERROR_VALUE;
  if (!IsList(in, object)) return Fail(in, msg::ONLY_CELLS);
  if (intoCar)
    StoreCar(in, object, value);
  else
    StoreCdr(in, object, value);
  return value;
}

// (gethash key table): stores the value under the key.
Ref StoreInTable(Interp& in, Ref place, Ref value, Frame& frame) {
  Ref rest = Cdr(in, place);
  if (!IsList(in, rest)) return Fail(in, msg::SETF_BAD_PLACE);
  Ref key = EvalProtect(in, Car(in, rest), frame);
  if (key == ERROR_VALUE) return ERROR_VALUE;
  rest = Cdr(in, rest);
  if (!IsList(in, rest)) return Fail(in, msg::SETF_BAD_PLACE);
  Ref table = EvalProtect(in, Car(in, rest), frame);
  if (table == ERROR_VALUE) return ERROR_VALUE;
  if (!CheckTable(in, table)) return ERROR_VALUE;
  return StoreEntry(in, table, key, value);
}

}  // namespace

Ref BuiltinSetf(Interp& in, CallArgs& a) {
  Ref place = Car(in, a.args);
  if (IsSymbol(in, place)) return BuiltinSetq(in, a);
  Ref value = EvalProtect(in, Car(in, Cdr(in, a.args)), *a.frame);
  if (value == ERROR_VALUE) return ERROR_VALUE;
  if (!IsList(in, place) || !IsSymbol(in, Car(in, place)))
    return Fail(in, msg::SETF_BAD_PLACE);
  std::u16string_view name = NameText(in, SymbolName(in, Car(in, place)));
  if (name == u"car" || name == u"first")
    return StoreInCell(in, place, value, *a.frame, true);
  if (name == u"cdr" || name == u"rest")
    return StoreInCell(in, place, value, *a.frame, false);
  if (name == u"gethash") return StoreInTable(in, place, value, *a.frame);
  return Fail(in, msg::SETF_BAD_PLACE);
}

}  // namespace vex
