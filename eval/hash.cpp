// Hash tables: (#hash-table eq . entries), an association list searched
// from the front. Nothing is hashed: a table is an ordinary list, printed,
// taken apart and collected like any other, and changed in place.
//
// Every operation checks the whole path it relies on before it changes
// anything, so a failing operation leaves the table as it was.
#include "eval/hash.h"

#include "core/messages.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

namespace {

// Symbols by name, numbers by value; lists never match.
bool KeysEqual(Interp& in, Ref a, Ref b) {
  if (IsSymbol(in, a) && IsSymbol(in, b))
    return SymbolName(in, a) == SymbolName(in, b);
  if (IsNumber(in, a) && IsNumber(in, b))
    return NumberValue(in, a) == NumberValue(in, b);
  return false;
}

// The entry cell (whose car is the pair) of the first key match, NIL when
// none, ERROR_VALUE after "連想リストではありません". prev receives the cell
// before the match (start: the table's test cell).
Ref FindEntryCell(Interp& in, Ref testCell, Ref key, Ref& prev) {
  prev = testCell;
  for (Ref cell = Cdr(in, testCell);; cell = Cdr(in, cell)) {
    // A walk over a long table is stopped like any long run (Ctrl-C, a
    // step budget), before anything is changed.
    if (RunMustStop(in)) return ERROR_VALUE;
    if (IsNil(in, cell)) return in.NIL;
    if (!IsList(in, cell) || !IsList(in, Car(in, cell))) {
      return Fail(in, msg::NOT_AN_ALIST);
    }
    if (KeysEqual(in, Car(in, Car(in, cell)), key)) return cell;
    prev = cell;
  }
}

// Evaluates the key and the table of gethash and remhash and checks the
// table; false after a failure.
bool KeyAndTable(Interp& in, CallArgs& a, Ref& key, Ref& table) {
  key = EvalProtect(in, Car(in, a.args), *a.frame);
  if (key == ERROR_VALUE) return false;
  table = EvalProtect(in, Car(in, Cdr(in, a.args)), *a.frame);
  if (table == ERROR_VALUE) return false;
  return CheckTable(in, table);
}

}  // namespace

bool CheckTable(Interp& in, Ref table) {
  if (IsList(in, table)) {
    Ref head = Car(in, table);
    if (IsSymbol(in, head) &&
        NameText(in, SymbolName(in, head)) == u"#hash-table" &&
        IsList(in, Cdr(in, table)))
      return true;
  }
  ShowError(in, msg::NOT_A_HASH_TABLE);
  return false;
}

Ref StoreEntry(Interp& in, Ref table, Ref key, Ref value) {
  Ref testCell = Cdr(in, table);
  Ref prev;
  Ref found = FindEntryCell(in, testCell, key, prev);
  if (found == ERROR_VALUE) return ERROR_VALUE;
  if (!IsNil(in, found)) {
    StoreCdr(in, Car(in, found), value);
    return value;
  }
  Ref pair = MakeList(in, key, value);
  if (pair == ERROR_VALUE) return ERROR_VALUE;
  Ref entry = MakeList(in, pair, Cdr(in, testCell));
  if (entry == ERROR_VALUE) return ERROR_VALUE;
  StoreCdr(in, testCell, entry);
  return value;
}

Ref BuiltinMakeHashTable(Interp& in, CallArgs&) {
  Ref testCell = MakeList(in, in.NIL, in.NIL);
  if (testCell == ERROR_VALUE) return ERROR_VALUE;
  NameRef eq = InternName(in, u"eq");
  if (eq == NO_NAME) return ERROR_VALUE;
  Ref eqSymbol = MakeSymbol(in, eq);
  if (eqSymbol == ERROR_VALUE) return ERROR_VALUE;
  in.cells[testCell].car = eqSymbol;
  Ref head = MakeList(in, in.NIL, testCell);
  if (head == ERROR_VALUE) return ERROR_VALUE;
  NameRef tag = InternName(in, u"#hash-table");
  if (tag == NO_NAME) return ERROR_VALUE;
  Ref tagSymbol = MakeSymbol(in, tag);
  if (tagSymbol == ERROR_VALUE) return ERROR_VALUE;
  in.cells[head].car = tagSymbol;
  return head;
}

Ref BuiltinGethash(Interp& in, CallArgs& a) {
  Ref key, table;
  if (!KeyAndTable(in, a, key, table)) return ERROR_VALUE;
  Ref prev;
  Ref found = FindEntryCell(in, Cdr(in, table), key, prev);
  if (found == ERROR_VALUE || IsNil(in, found)) return found;
  return Cdr(in, Car(in, found));
}

Ref BuiltinRemhash(Interp& in, CallArgs& a) {
  Ref key, table;
  if (!KeyAndTable(in, a, key, table)) return ERROR_VALUE;
  Ref prev;
  Ref found = FindEntryCell(in, Cdr(in, table), key, prev);
  if (found == ERROR_VALUE || IsNil(in, found)) return found;
  StoreCdr(in, prev, Cdr(in, found));
  return in.T;
}

}  // namespace vex
