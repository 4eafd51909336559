// User functions: defun, putd, named calls, lambda values, funcall, apply.
//
// Design note. A Frame's Bindings live in the binding arena, reserved at the
// call and released when it returns; calls nest, so the arena is a stack.
// The arguments are evaluated in the caller's Frame before the new Frame is
// rooted; each value is already on the CellStack through EvalProtect. The
// call forms that funcall and apply build are pushed on the CellStack before
// the call they start, so a collection inside that call keeps them.
#include <algorithm>

#include "core/assert.h"
#include "core/messages.h"
#include "eval/decoded_body.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

namespace {

[[gnu::noinline, gnu::cold]] Ref CallFailed(Interp& in, uint32_t hidden,
                                            const char16_t* text) {
  if (text != nullptr) ShowError(in, text);
  in.bindingTop = hidden;
  return ERROR_VALUE;
}

// Evaluates the argument forms from the list forms on into b[i], b[i+1],
// ... in the caller's Frame, stopping after b[n-1]; false after a failure.
bool EvaluateForms(Interp& in, Ref forms, uint32_t i, Binding* b, uint32_t n,
                   Frame& caller) {
  for (; i < n && LiveCell(in, forms).tag == TAG_LIST;
       ++i, forms = Cdr(in, forms)) {
    Ref v = EvalProtect(in, Car(in, forms), caller);
    if (v == ERROR_VALUE) return false;
    b[i].value = v;
  }
  return true;
}

// The argument forms of a call: a list, or the argument nodes of a decoded
// call form, which go on by the list when the code changes under them.
struct FormArguments {
  Ref forms;
  uint32_t Count(Interp& in) const { return uint32_t(ListLength(in, forms)); }
  bool Evaluate(Interp& in, Binding* b, uint32_t n, Frame& caller) const {
    return EvaluateForms(in, forms, 0, b, n, caller);
  }
};

struct NodeArguments {
  const CodeNode* call;
  uint32_t epoch;
  uint32_t Count(Interp&) const { return call->count; }
  [[gnu::always_inline]] bool Evaluate(Interp& in, Binding* b, uint32_t n,
                                       Frame& caller) const {
    const CodeNode* arg = call + 1;
    uint32_t count = std::min(n, uint32_t(call->count));
    for (uint32_t i = 0; i < count; ++i) {
      Ref link = arg->link;
      Ref v = RunNode(in, arg, caller, epoch);
      if (v == ERROR_VALUE) return false;
      b[i].value = v;
      if (CodeChanged(in, epoch))
        return EvaluateForms(in, Cdr(in, link), i + 1, b, n, caller);
      arg = NextNode(arg);
    }
    return true;
  }
};

// Calls the function definition (params . body) with the arguments; named
// is the FunctionTable entry of a named call (which also makes the
// collection check of named calls), nullptr for a lambda value.
//
// The Frame's Bindings are reserved with one hidden Binding before them: it
// holds the definition, and the collector marks every Binding in use in the
// arena, so the definition stays reachable for the whole call even when the
// function is redefined while its arguments are evaluated or its body runs.
//
// Binding the arguments: the parameters are named first (NIL values), then
// the argument forms are evaluated in the caller's Frame into them; more
// argument forms than parameters fail before any is evaluated, and so does a
// parameter that is not a symbol. One walk along the parameters names them
// and counts them; the failures are then reported in that order.
//
// Inlined into each of its callers, so that the call of a decoded body runs
// the body's cond in its own machine frame (eval/decoded_body.h).
//
// decoded is the named function's decoded body (DecodedBody) or nullptr;
// when decodedOnly, it is known to be a body, and the paths of a call
// without one are left out of the inlined copy.
template <bool decodedOnly, typename Arguments>
[[gnu::always_inline]] inline Ref Invoke(Interp& in, Ref definition,
                                         const Arguments& args, Frame& caller,
                                         FunctionEntry* named,
                                         const CodeNode* decoded) {
  uint32_t epoch = in.codeEpoch;
  uint32_t hidden = in.bindingTop;
  if (hidden >= uint32_t(BINDING_ARENA_CAPACITY))
    return CallFailed(in, hidden, msg::FRAME_FAILED);
  uint32_t room = uint32_t(BINDING_ARENA_CAPACITY) - hidden - 1;
  Binding* b = in.bindings + hidden + 1;
  const Cell& def = LiveCell(in, definition);
  Ref body = def.cdr;
  uint32_t n = 0;
  bool badParameter = false;
  if (decodedOnly || decoded != nullptr) {
    // Its decoding read these parameters, all of them symbols.
    n = decoded->count;
    if (n > room) return CallFailed(in, hidden, msg::FRAME_FAILED);
    const Ref nil = in.NIL;  // the stores below may alias in's fields
    // Most functions have one to four parameters: those need no loop.
    const CodeNode* param = decoded + 1;
    switch (n) {
      case 4:
        b[3] = Binding{param[3].value, nil};
        [[fallthrough]];
      case 3:
        b[2] = Binding{param[2].value, nil};
        [[fallthrough]];
      case 2:
        b[1] = Binding{param[1].value, nil};
        [[fallthrough]];
      case 1:
        b[0] = Binding{param[0].value, nil};
        [[fallthrough]];
      case 0:
        break;
      default:
        for (uint32_t i = 0; i < n; ++i) b[i] = Binding{param[i].value, nil};
    }
  } else {
    for (Ref p = def.car; LiveCell(in, p).tag == TAG_LIST;
         p = Cdr(in, p), ++n) {
      if (n >= room) return CallFailed(in, hidden, msg::FRAME_FAILED);
      const Cell& param = LiveCell(in, Car(in, p));
      badParameter |= param.tag != TAG_SYMBOL;
      b[n] = Binding{param.car, in.NIL};
    }
  }
  in.bindings[hidden] = Binding{NO_NAME, definition};
  in.bindingTop = hidden + 1 + n;
  Frame fresh{hidden + 1, int32_t(n)};

  if (args.Count(in) > n)
    return CallFailed(in, hidden, msg::TOO_MANY_ARGUMENTS);
  if (badParameter) return CallFailed(in, hidden, msg::SYNTAX_ERROR);
  if (!args.Evaluate(in, b, n, caller)) return CallFailed(in, hidden, nullptr);

  // Everything the body pushes lies above these two marks, and each call
  // inside it pops back to its own marks before it returns; so popping both
  // stacks to their markers puts their tops back here. Only a fatal
  // overflow breaks this, and after one nothing relies on the stacks.
  uint32_t cellMark = in.cellTop;
  uint32_t localMark = in.localTop;
  PushCell(in, ERROR_VALUE);  // a full stack has asked to close; go on
  if (!PushFrame(in, fresh)) return CallFailed(in, hidden, nullptr);
  Ref result;
  if (named != nullptr) {
    SafePoint<true>(in);
    result = decodedOnly ? RunDecodedBody(in, body, fresh, epoch, decoded)
                         : RunFunctionBody(in, *named, definition, body, fresh,
                                           epoch, decoded);
  } else {
    result = RunBody(in, body, fresh);
  }
  VEX_ASSERT((in.closing || in.cellTop > cellMark) &&
             "the body popped no further than its own marker");
  in.localTop = localMark;
  in.cellTop = cellMark;
  in.bindingTop = hidden;
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
  if (f == nullptr) return Fail(in, msg::UNDEFINED_FUNCTION);
  // A definition is always a list: defun stores the form's rest after the
  // name (at least the parameter list), putd a lambda value's rest.
  return Invoke<false>(in, f->definition, FormArguments{Cdr(in, form)}, frame,
                       f, DecodedBody(in, *f, f->definition));
}

namespace {

// A named call from a decoded call form whose function has no decoded body
// yet, or whose body did not fit: kept apart, so that the common call is
// compiled without it.
[[gnu::noinline]] Ref InvokeUndecoded(Interp& in, Ref definition,
                                      const NodeArguments& args, Frame& caller,
                                      FunctionEntry* f) {
  return Invoke<false>(in, definition, args, caller, f, nullptr);
}

// The FunctionTable entry of a call node's function, or nullptr. Entries
// are never removed and a name keeps its entry, so once the function exists
// the node keeps the entry's place in its row (which holds the first 255).
[[gnu::noinline]] FunctionEntry* LearnFunction(Interp& in,
                                               const CodeNode* call) {
  FunctionEntry* f = FindFunction(in, call->value);
  if (f != nullptr && f - in.functions < 255)
    const_cast<CodeNode*>(call)->row = uint8_t(f - in.functions + 1);
  return f;
}

}  // namespace

Ref RunUserCall(Interp& in, const CodeNode* call, Frame& frame,
                uint32_t epoch) {
  CallLevel<true> level(in);
  if (!level.Enter()) return ERROR_VALUE;
  FunctionEntry* f =
      call->row != 0 ? &in.functions[call->row - 1] : LearnFunction(in, call);
  if (f == nullptr) return Fail(in, msg::UNDEFINED_FUNCTION);
  Ref definition = f->definition;
  const CodeNode* decoded = DecodedBody(in, *f, definition);
  NodeArguments args{call, epoch};
  return Protect(in, decoded != nullptr
                         ? Invoke<true>(in, definition, args, frame, f, decoded)
                         : InvokeUndecoded(in, definition, args, frame, f));
}

Ref CallLambda(Interp& in, Ref lambda, Ref argForms, Frame& frame) {
  Ref rest = Cdr(in, lambda);
  if (!IsList(in, rest)) return Fail(in, msg::SYNTAX_ERROR);
  return Invoke<false>(in, rest, FormArguments{argForms}, frame, nullptr,
                       nullptr);
}

Ref BuiltinDefun(Interp& in, CallArgs& a) {
  Ref name = Car(in, a.args);
  if (!IsSymbol(in, name)) return Fail(in, msg::SYNTAX_ERROR);
  FunctionEntry* f = FindOrAddFunction(in, SymbolName(in, name));
  if (f == nullptr) return ERROR_VALUE;
  f->definition = Cdr(in, a.args);
  return in.T;
}

Ref BuiltinPutd(Interp& in, CallArgs& a) {
  Ref name = a.v[0];
  Ref lambda = a.v[1];
  if (!IsList(in, lambda) || !IsList(in, Cdr(in, lambda)))
    return Fail(in, msg::SYNTAX_ERROR);
  if (!IsSymbol(in, name)) return Fail(in, msg::SYNTAX_ERROR);
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
  return Fail(in, msg::FUNCALL_MISUSED);
}

Ref BuiltinApply(Interp& in, CallArgs& a) {
  Ref f = EvalProtect(in, Car(in, a.args), *a.frame);
  if (f == ERROR_VALUE) return ERROR_VALUE;
  Ref values = in.NIL;
  Ref rest = Cdr(in, a.args);
  if (IsList(in, rest)) {
    values = EvalProtect(in, Car(in, rest), *a.frame);
    if (values == ERROR_VALUE) return ERROR_VALUE;
    if (!IsList(in, values)) return Fail(in, msg::SECOND_NOT_LIST);
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
  return Fail(in, msg::APPLY_MISUSED);
}

}  // namespace vex
