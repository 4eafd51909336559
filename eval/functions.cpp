// User functions: defun, putd, named calls, lambda values, funcall, apply.
//
// Design note. A Frame's Bindings live in the binding arena, reserved at the
// call and released when it returns; calls nest, so the arena is a stack.
// The arguments are evaluated in the caller's Frame before the new Frame is
// rooted; each value is already on the CellStack through EvalProtect. The
// call forms that funcall and apply build are pushed on the CellStack before
// the call they start, so a collection inside that call keeps them.
#include "core/messages.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

namespace {

Ref SyntaxError(Interp& in) {
  ShowError(in, msg::SYNTAX_ERROR);
  return ERROR_VALUE;
}

enum class Bound { Ok, TooMany, BadParameter, Failed };

// Names the parameters, then evaluates the argument forms in the caller's
// Frame into the new Frame; parameters without an argument stay NIL.
Bound BindArguments(Interp& in, Ref params, Ref argForms, Frame& fresh,
                    Frame& caller) {
  if (ListLength(in, argForms) > fresh.count) return Bound::TooMany;
  Binding* b = in.bindings + fresh.base;
  Ref p = params;
  for (int32_t i = 0; i < fresh.count; ++i, p = Cdr(in, p)) {
    Ref param = Car(in, p);
    if (!IsSymbol(in, param)) return Bound::BadParameter;
    b[i] = Binding{SymbolName(in, param), in.NIL};
  }
  Ref f = argForms;
  for (int32_t i = 0; i < fresh.count && IsList(in, f); ++i, f = Cdr(in, f)) {
    Ref v = EvalProtect(in, Car(in, f), caller);
    if (v == ERROR_VALUE) return Bound::Failed;
    b[i].value = v;
  }
  return Bound::Ok;
}

// Calls the function definition (params . body) with the argument forms;
// collect asks for the collection check of named calls.
//
// The Frame is reserved with one hidden Binding before its own: it holds the
// definition, and the collector marks every Binding in use in the arena, so
// the definition stays reachable for the whole call even when the function
// is redefined while its arguments are evaluated or its body runs.
Ref Invoke(Interp& in, Ref definition, Ref argForms, Frame& caller,
           bool collect) {
  Ref params = Car(in, definition);
  Ref body = Cdr(in, definition);
  Frame fresh;
  fresh.count = ListLength(in, params);
  uint32_t hidden = in.bindingTop;
  if (hidden + 1 + uint32_t(fresh.count) > uint32_t(BINDING_ARENA_CAPACITY)) {
    ShowError(in, msg::FRAME_FAILED);
    return ERROR_VALUE;
  }
  in.bindings[hidden] = Binding{NO_NAME, definition};
  fresh.base = hidden + 1;
  in.bindingTop = fresh.base + uint32_t(fresh.count);
  auto release = [&] { in.bindingTop = hidden; };

  switch (BindArguments(in, params, argForms, fresh, caller)) {
    case Bound::Ok:
      break;
    case Bound::TooMany:
      ShowError(in, msg::TOO_MANY_ARGUMENTS);
      release();
      return ERROR_VALUE;
    case Bound::BadParameter:
      ShowError(in, msg::SYNTAX_ERROR);
      release();
      return ERROR_VALUE;
    case Bound::Failed:
      release();
      return ERROR_VALUE;
  }
  PushCell(in, ERROR_VALUE);  // a full stack has asked to close; go on
  if (!PushLocalMarker(in) || !PushLocals(in, fresh)) {
    release();
    return ERROR_VALUE;
  }
  if (collect) {
    if (in.FreeCells < GC_THRESHOLD || in.FreeNumbers < GC_THRESHOLD)
      Collect(in);
#ifdef VEX_GC_STRESS
    else
      CollectForStress(in);
#else
    else if (in.FreeCells < in.reclaimCells ||
             in.FreeNumbers < in.reclaimNumbers)
      Reclaim(in);
#endif
  }
  Ref result = RunBody(in, body, fresh);
  PopLocalsToMarker(in);
  PopCellsToMarker(in);
  release();
  return result;
}

bool IsLambda(Interp& in, Ref value) {
  if (!IsList(in, value)) return false;
  Ref head = Car(in, value);
  return IsSymbol(in, head) && NameText(in, SymbolName(in, head)) == u"lambda";
}

// A call form (f . argForms), pushed so that it survives the call, then
// evaluated.
Ref CallThroughSymbol(Interp& in, Ref f, Ref argForms, Frame& frame) {
  Ref form = MakeList(in, f, argForms);
  if (form == ERROR_VALUE || !PushCell(in, form)) return ERROR_VALUE;
  return EvalProtect(in, form, frame);
}

}  // namespace

Ref CallFunction(Interp& in, Ref form, Frame& frame) {
  FunctionEntry* f = FindFunction(in, SymbolName(in, Car(in, form)));
  if (f == nullptr) {
    ShowError(in, msg::UNDEFINED_FUNCTION);
    return ERROR_VALUE;
  }
  // A definition is always a list: defun stores the form's rest after the
  // name (at least the parameter list), putd a lambda value's rest.
  return Invoke(in, f->definition, Cdr(in, form), frame, true);
}

Ref CallLambda(Interp& in, Ref lambda, Ref argForms, Frame& frame) {
  Ref rest = Cdr(in, lambda);
  if (!IsList(in, rest)) return SyntaxError(in);
  return Invoke(in, rest, argForms, frame, false);
}

Ref BuiltinDefun(Interp& in, CallArgs& a) {
  Ref name = Car(in, a.args);
  if (!IsSymbol(in, name)) return SyntaxError(in);
  FunctionEntry* f = FindOrAddFunction(in, SymbolName(in, name));
  if (f == nullptr) return ERROR_VALUE;
  f->definition = Cdr(in, a.args);
  return in.T;
}

Ref BuiltinPutd(Interp& in, CallArgs& a) {
  Ref name = a.v[0];
  Ref lambda = a.v[1];
  if (!IsList(in, lambda) || !IsList(in, Cdr(in, lambda)))
    return SyntaxError(in);
  if (!IsSymbol(in, name)) return SyntaxError(in);
  FunctionEntry* f = FindOrAddFunction(in, SymbolName(in, name));
  if (f == nullptr) return ERROR_VALUE;
  f->definition = Cdr(in, lambda);
  return in.T;
}

Ref BuiltinFuncall(Interp& in, CallArgs& a) {
  Ref f = EvalProtect(in, Car(in, a.args), *a.frame);
  if (f == ERROR_VALUE) return ERROR_VALUE;
  Ref argForms = Cdr(in, a.args);
  if (IsSymbol(in, f)) return CallThroughSymbol(in, f, argForms, *a.frame);
  if (IsLambda(in, f)) return CallLambda(in, f, argForms, *a.frame);
  ShowError(in, msg::FUNCALL_MISUSED);
  return ERROR_VALUE;
}

Ref BuiltinApply(Interp& in, CallArgs& a) {
  Ref f = EvalProtect(in, Car(in, a.args), *a.frame);
  if (f == ERROR_VALUE) return ERROR_VALUE;
  Ref values = in.NIL;
  Ref rest = Cdr(in, a.args);
  if (IsList(in, rest)) {
    values = EvalProtect(in, Car(in, rest), *a.frame);
    if (values == ERROR_VALUE) return ERROR_VALUE;
    if (!IsList(in, values)) {
      ShowError(in, msg::SECOND_NOT_LIST);
      return ERROR_VALUE;
    }
  }
  // Each element x becomes the argument form (quote x), so the function
  // receives the elements themselves.
  NameRef quoteName = InternName(in, u"quote");
  if (quoteName == NO_NAME) return ERROR_VALUE;
  Ref quote = MakeSymbol(in, quoteName);
  if (quote == ERROR_VALUE) return ERROR_VALUE;
  Ref forms = in.NIL;
  Ref last = ERROR_VALUE;
  for (Ref p = values; IsList(in, p); p = Cdr(in, p)) {
    Ref quoted = MakeList(in, Car(in, p), in.NIL);
    if (quoted == ERROR_VALUE) return ERROR_VALUE;
    Ref argForm = MakeList(in, quote, quoted);
    if (argForm == ERROR_VALUE) return ERROR_VALUE;
    Ref link = MakeList(in, argForm, in.NIL);
    if (link == ERROR_VALUE) return ERROR_VALUE;
    if (last == ERROR_VALUE)
      forms = link;
    else
      in.cells[last].cdr = link;
    last = link;
  }
  if (IsList(in, forms) && !PushCell(in, forms)) return ERROR_VALUE;
  if (IsSymbol(in, f)) return CallThroughSymbol(in, f, forms, *a.frame);
  if (IsLambda(in, f)) return CallLambda(in, f, forms, *a.frame);
  ShowError(in, msg::APPLY_MISUSED);
  return ERROR_VALUE;
}

}  // namespace vex
