// Decoded function bodies.
//
// Design note. The first call of a user function reads its body into nodes
// in the code area, and its calls run the nodes: a variable that is a
// parameter is its Binding's slot, a call form knows its built-in row or
// that it calls a user function, and its arguments are nodes of their own.
// Every node does exactly what the evaluator does with its form, in the same
// order: the same checks, pushes, messages and allocations.
//
// The nodes stay right only while the forms they were read from stay as
// they were. The decoder marks every list Cell it reads (codeCells); storing
// into a marked Cell, or handing one out again after the collector freed
// it, advances codeEpoch, and a node is used only in the epoch it was
// decoded in. A body that is running when the epoch moves goes on by the
// forms themselves from where it stands: after each evaluation that may
// have run other code a node looks at the epoch, and on a change it hands
// the rest of its form to the evaluator, which reads the Cells anew just as
// it would have. So a program that rewrites its own code sees the same
// effects as without decoding, only without the speed.
#include "eval/decoded.h"

#include <algorithm>
#include <iterator>

#include "core/messages.h"
#include "eval/arith.h"
#include "eval/builtins.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

namespace {

// A body needing more nodes than this, or nested deeper, runs (in that
// part) by its forms.
constexpr uint32_t BODY_NODES = 1 << 16;
constexpr int DECODE_DEPTH = 48;
// The row of an arithmetic node whose two arguments are simple (below).
constexpr uint8_t SIMPLE_PAIR = 1;

// A parameter or a number: one node whose value is found without
// evaluating anything or failing.
bool IsSimple(const CodeNode& n) {
  return n.kind == K_LOCAL || n.kind == K_NUMBER;
}

// Reads forms into nodes appended to the code area below limit.
class Decoder {
 public:
  Decoder(Interp& in, const Binding* params, uint32_t paramCount,
          uint32_t limit)
      : in_(in), params_(params), paramCount_(paramCount), limit_(limit) {}

  bool failed() const { return failed_; }

  // The node of form, the car of the list Cell link.
  void Form(Ref form, Ref link, int depth);
  // The nodes of the forms of a list; their number.
  uint32_t Forms(Ref list, int depth, uint32_t most);
  // Opens a node whose children follow; Close ends it after them.
  uint32_t Open(uint8_t kind, uint32_t value, Ref link);
  void Close(uint32_t at) {
    if (!failed_) in_.code[at].skip = (in_.codeTop - at) * sizeof(CodeNode);
  }
  // Marks a list Cell as read by a decoding; returns it.
  Ref Read(Ref cell) {
    in_.codeCells[cell] = 1;
    in_.codeCellsHigh = std::max(in_.codeCellsHigh, cell + 1);
    return cell;
  }

 private:
  void Leaf(uint8_t kind, uint32_t value, Ref link) {
    Close(Open(kind, value, link));
  }
  void Call(Ref form, Ref link, NameRef head, int depth);
  void Cond(Ref form, Ref link, int depth);

  Interp& in_;
  const Binding* params_;
  uint32_t paramCount_;
  uint32_t limit_;
  bool failed_ = false;
};

uint32_t Decoder::Open(uint8_t kind, uint32_t value, Ref link) {
  if (failed_ || in_.codeTop >= limit_) {
    failed_ = true;
    return 0;
  }
  uint32_t at = in_.codeTop++;
  in_.code[at] = CodeNode{kind, 0, 0, value, link, 0};
  return at;
}

void Decoder::Form(Ref form, Ref link, int depth) {
  const Cell& c = LiveCell(in_, form);
  if (c.tag == TAG_NUMBER) return Leaf(K_NUMBER, form, link);
  if (c.tag == TAG_SYMBOL) {
    // The evaluator finds the first Binding with the name.
    for (uint32_t slot = 0; slot < paramCount_; ++slot)
      if (params_[slot].name == c.car) return Leaf(K_LOCAL, slot, link);
    uint32_t at = Open(K_GLOBAL, c.car, link);
    if (!failed_) in_.code[at].count = in_.names[c.car].global;
    return Close(at);
  }
  if (c.tag != TAG_LIST || depth >= DECODE_DEPTH ||
      LiveCell(in_, c.car).tag != TAG_SYMBOL)
    return Leaf(K_FORM, form, link);
  Read(form);
  Call(form, link, SymbolName(in_, c.car), depth);
}

uint32_t Decoder::Forms(Ref list, int depth, uint32_t most) {
  uint32_t count = 0;
  for (Ref p = list; !failed_ && count < most && IsList(in_, p);
       p = Cdr(in_, p), ++count)
    Form(Car(in_, Read(p)), p, depth);
  return count;
}

void Decoder::Call(Ref form, Ref link, NameRef head, int depth) {
  Ref args = Cdr(in_, form);
  int row = in_.names[head].builtin;
  if (row == 0) {
    uint32_t at = Open(K_USER, head, link);
    uint32_t count = Forms(args, depth + 1, BODY_NODES);
    if (failed_) return;
    in_.code[at].count = uint16_t(count);
    return Close(at);
  }
  const BuiltinRow& r = BuiltinRowAt(row);
  if (r.handler == BuiltinCond) return Cond(form, link, depth);
  uint8_t kind = r.handler == BuiltinPlus     ? K_ADD
                 : r.handler == BuiltinTimes  ? K_MULTIPLY
                 : r.handler == BuiltinMinus  ? K_SUBTRACT
                 : r.handler == BuiltinDivide ? K_DIVIDE
                                              : K_SPECIAL;
  if (kind != K_SPECIAL) {
    // - and / without arguments fail as the evaluator has them fail.
    if ((kind == K_SUBTRACT || kind == K_DIVIDE) && !IsList(in_, args))
      return Leaf(K_FORM, form, link);
    uint32_t at = Open(kind, form, link);
    uint32_t count = Forms(args, depth + 1, BODY_NODES);
    if (failed_) return;
    // Two arguments that are parameters or numbers: the commonest shape,
    // (- n 1), gets a path of its own.
    const CodeNode* first = &in_.code[at + 1];
    if (count == 2 && IsSimple(first[0]) && IsSimple(first[1]))
      in_.code[at].row = SIMPLE_PAIR;
    return Close(at);
  }
  // The argument count is checked here once; its list Cells are marked, so
  // it holds as long as the node does.
  Ref p = args;
  for (int k = 0; k < r.minArgs; ++k, p = Cdr(in_, p)) {
    if (!IsList(in_, p)) return Leaf(K_FORM, form, link);
    Read(p);
  }
  bool evaluated =
      r.mode == ArgMode::Evaluated || r.mode == ArgMode::PassEvaluated;
  kind = r.handler == BuiltinMinusp     ? K_MINUSP
         : r.handler == BuiltinNumEqual ? K_NUMBER_EQUAL
         : evaluated                    ? K_SPECIAL + r.minArgs
                                        : K_SPECIAL;
  uint32_t at = Open(kind, form, link);
  if (evaluated) Forms(args, depth + 1, r.minArgs);
  if (failed_) return;
  in_.code[at].row = uint8_t(row);
  Close(at);
}

void Decoder::Cond(Ref form, Ref link, int depth) {
  uint32_t at = Open(K_COND, form, link);
  for (Ref p = Cdr(in_, form); !failed_ && IsList(in_, p); p = Cdr(in_, p)) {
    Ref clause = Car(in_, Read(p));
    if (!IsList(in_, clause)) {
      Leaf(K_STOP, clause, p);
      break;
    }
    uint32_t c = Open(K_CLAUSE, Read(clause), p);
    Form(Car(in_, clause), clause, depth + 1);
    Forms(Cdr(in_, clause), depth + 1, BODY_NODES);
    Close(c);
  }
  Close(at);
}

// Decodes body, the forms of definition, for a Frame with the parameters
// of frame; the index of its K_BODY node, or NO_CODE when it does not fit.
uint32_t DecodeBody(Interp& in, Ref definition, Ref body, const Frame& frame) {
  if (in.codeAreaEpoch != in.codeEpoch) {
    in.codeTop = 0;  // every node below is of an earlier epoch
    in.codeAreaEpoch = in.codeEpoch;
  }
  if (in.codeTop > uint32_t(CODE_CAPACITY) - BODY_NODES) {
    ++in.codeEpoch;  // retires the running bodies before their nodes go
    in.codeTop = 0;
    in.codeAreaEpoch = in.codeEpoch;
  }
  const Binding* params = in.bindings + frame.base;
  Decoder d(in, params, uint32_t(frame.count), in.codeTop + BODY_NODES);
  // The parameter list decided the slots; the definition holds it and the
  // body.
  d.Read(definition);
  Ref p = Car(in, definition);
  for (int32_t i = 0; i < frame.count; ++i, p = Cdr(in, p)) d.Read(p);
  uint32_t at = d.Open(K_BODY, body, definition);
  d.Forms(body, 0, BODY_NODES);
  d.Close(at);
  if (!d.failed()) return at;
  in.codeTop = at;
  return NO_CODE;
}

// A node whose evaluation may have run other code, and so changed the
// epoch; numbers and variables never do.
inline bool MayHaveRun(const CodeNode* n) { return n->kind >= K_FORM; }

// Evaluates the count arguments of a built-in call into a.v; false when
// the call ends there (a failed argument of a row that stops on failure).
template <int count>
[[gnu::always_inline]] inline bool EvaluateArguments(
    Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch,
    bool stopOnFailure, CallArgs& a) {
  const CodeNode* arg = n + 1;
  for (int k = 0; k < count; ++k) {
    a.v[k] = RunNode(in, arg, frame, epoch);
    if (a.v[k] == ERROR_VALUE && stopOnFailure) return false;
    // The count was checked on the form; only the forms left are read.
    if (k + 1 < count && MayHaveRun(arg) && CodeChanged(in, epoch))
      return EvaluateArgumentForms(in, Cdr(in, arg->link), k + 1, count,
                                   stopOnFailure, a);
    arg = NextNode(arg);
  }
  return true;
}

// A built-in with count evaluated arguments (0: the handler takes the
// argument forms as they stand).
template <int count>
Ref RunBuiltin(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  const BuiltinRow& r = BuiltinRowAt(n->row);
  CallArgs a{
      Cdr(in, n->value), &frame, {ERROR_VALUE, ERROR_VALUE, ERROR_VALUE}};
  if (!EvaluateArguments<count>(in, n, frame, epoch,
                                r.mode == ArgMode::Evaluated, a))
    return ERROR_VALUE;
  return r.handler(in, a);
}

// minusp and =, the numeric tests, whose handlers are called directly.
template <int count, Handler handler>
Ref RunNumericTest(Interp& in, const CodeNode* n, Frame& frame,
                   uint32_t epoch) {
  CallArgs a{
      Cdr(in, n->value), &frame, {ERROR_VALUE, ERROR_VALUE, ERROR_VALUE}};
  if (!EvaluateArguments<count>(in, n, frame, epoch, true, a))
    return ERROR_VALUE;
  return handler(in, a);
}

Ref RunCond(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  const CodeNode* end = NextNode(n);
  for (const CodeNode* c = n + 1; c != end; c = NextNode(c)) {
    if (c->kind == K_STOP) return in.NIL;
    const CodeNode* test = c + 1;
    Ref t = RunNode(in, test, frame, epoch);
    if (t == ERROR_VALUE) return ERROR_VALUE;
    if (CodeChanged(in, epoch)) {
      if (!IsNil(in, t)) return RunBody(in, Cdr(in, c->value), frame);
      return CondFrom(in, Cdr(in, c->link), frame);
    }
    if (!IsNil(in, t))
      return RunForms(in, NextNode(test), NextNode(c), frame, epoch);
  }
  return in.NIL;
}

// The value of a simple node (IsSimple).
inline Ref SimpleValue(const Interp& in, const CodeNode* n,
                       const Frame& frame) {
  return n->kind == K_NUMBER ? n->value
                             : in.bindings[frame.base + n->value].value;
}

// + and * from their identity; - and / from their first argument, over
// arguments evaluated one by one.
template <Op op>
[[gnu::noinline]] Ref RunArithmetic(Interp& in, const CodeNode* n, Frame& frame,
                                    uint32_t epoch) {
  const CodeNode* end = NextNode(n);
  const CodeNode* arg = n + 1;
  float acc = op == Op::Multiply ? 1.0f : 0.0f;
  if constexpr (op == Op::Subtract || op == Op::Divide) {
    if (!AsNumber(in, RunNode(in, arg, frame, epoch), acc)) return ERROR_VALUE;
    if (MayHaveRun(arg) && CodeChanged(in, epoch))
      return FoldRest<op>(in, Cdr(in, arg->link), frame, acc);
    arg = NextNode(arg);
  }
  for (; arg != end; arg = NextNode(arg)) {
    float x;
    if (!AsNumber(in, RunNode(in, arg, frame, epoch), x) ||
        !Step<op>(in, acc, x))
      return ERROR_VALUE;
    if (MayHaveRun(arg) && CodeChanged(in, epoch))
      return FoldRest<op>(in, Cdr(in, arg->link), frame, acc);
  }
  return MakeNumber(in, acc);
}

// The same for two simple arguments that are both numbers, when the
// CellStack has room for both: nothing can fail or show a message between
// the two pushes, so they are made at once. False, having done nothing,
// for anything else.
template <Op op>
[[gnu::always_inline]] inline bool RunSimplePair(Interp& in, const CodeNode* n,
                                                 const Frame& frame,
                                                 Ref& result) {
  Ref a = SimpleValue(in, n + 1, frame);
  Ref b = SimpleValue(in, n + 2, frame);
  const Cell& ca = LiveCell(in, a);
  const Cell& cb = LiveCell(in, b);
  uint32_t top = in.cellTop;
  if (ca.tag != TAG_NUMBER || cb.tag != TAG_NUMBER ||
      top + 2 >= uint32_t(CELL_STACK_CAPACITY - 1))
    return false;
  in.cellStack[top] = a;
  in.cellStack[top + 1] = b;
  in.cellTop = top + 2;
  float x = in.numbers[ca.car].value;
  float y = in.numbers[cb.car].value;
  if (op == Op::Add || op == Op::Multiply)
    x = ApplyOp<op>(op == Op::Add ? 0.0f : 1.0f, x);
  result = Step<op>(in, x, y) ? MakeNumber(in, x) : ERROR_VALUE;
  return true;
}

Ref RunUser(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  FunctionEntry* f = FindFunction(in, n->value);
  if (f == nullptr) return Fail(in, msg::UNDEFINED_FUNCTION);
  return CallDecodedFunction(in, *f, n, frame, epoch);
}

// A call form; its value is protected. Like the evaluator's, each is a
// step and a level of nesting (CallLevel).
template <Ref (*Run)(Interp&, const CodeNode*, Frame&, uint32_t)>
Ref RunCallForm(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  CallLevel level(in);
  if (!level.Enter()) return ERROR_VALUE;
  return Protect(in, Run(in, n, frame, epoch));
}

// The same for + - * /, whose value is a number or ERROR_VALUE.
template <Op op>
Ref RunArithmeticForm(Interp& in, const CodeNode* n, Frame& frame,
                      uint32_t epoch) {
  CallLevel level(in);
  if (!level.Enter()) return ERROR_VALUE;
  Ref v;
  if (n->row != SIMPLE_PAIR || !RunSimplePair<op>(in, n, frame, v))
    v = RunArithmetic<op>(in, n, frame, epoch);
  return v == ERROR_VALUE || PushCell(in, v) ? v : ERROR_VALUE;
}

}  // namespace

// By kind, from K_SPECIAL on.
const CallRunner kCallRunners[] = {
    RunCallForm<RunBuiltin<0>>,
    RunCallForm<RunBuiltin<1>>,
    RunCallForm<RunBuiltin<2>>,
    RunCallForm<RunBuiltin<3>>,
    RunCallForm<RunCond>,
    RunArithmeticForm<Op::Add>,
    RunArithmeticForm<Op::Multiply>,
    RunArithmeticForm<Op::Subtract>,
    RunArithmeticForm<Op::Divide>,
    RunCallForm<RunNumericTest<1, BuiltinMinusp>>,
    RunCallForm<RunNumericTest<2, BuiltinNumEqual>>,
    RunCallForm<RunUser>,
};
static_assert(std::size(kCallRunners) == K_USER - K_SPECIAL + 1);

Ref DecodeAndRunBody(Interp& in, FunctionEntry& f, Ref definition, Ref body,
                     Frame& frame) {
  f.decodedBody = DecodeBody(in, definition, body, frame);
  f.decodedDefinition = definition;
  f.decodedEpoch = in.codeEpoch;
  if (f.decodedBody == NO_CODE) return RunBody(in, body, frame);
  const CodeNode* b = in.code + f.decodedBody;
  return RunForms(in, b + 1, NextNode(b), frame, in.codeEpoch);
}

}  // namespace vex
