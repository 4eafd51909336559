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
// into a marked Cell, or a marking of the collector that frees one, advances
// codeEpoch, and a node is used only in the epoch it was decoded in. A body
// that is running when the epoch moves goes on by the forms themselves from
// where it stands: after each evaluation that may have run other code a node
// looks at the epoch, and on a change it hands the rest of its form to the
// evaluator, which reads the Cells anew just as it would have. So a program
// that rewrites its own code sees the same effects as without decoding, only
// without the speed.
#include "eval/decoded.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "core/messages.h"
#include "eval/arith.h"
#include "eval/builtins.h"
#include "eval/decoded_body.h"
#include "eval/eval.h"
#include "memory/memory.h"

namespace vex {

namespace {

// A body needing more nodes than this, or nested deeper, runs (in that
// part) by its forms.
constexpr uint32_t BODY_NODES = 1 << 16;
constexpr int DECODE_DEPTH = 48;

// A variable, a number, or car or cdr of one of these.
bool IsListPartOrSimple(const CodeNode& n) {
  return IsSimple(n) || ((n.kind == K_CAR || n.kind == K_CDR) &&
                         n.skip == 2 * sizeof(CodeNode) && IsSimple((&n)[1]));
}

// The shape of a lean operand node n; false when it is none.
bool ShapeOf(const CodeNode& n, LeanShape& shape) {
  if (IsSimple(n))
    shape = SHAPE_SIMPLE;
  else if (IsListPartOrSimple(n))
    shape = SHAPE_LIST_PART;
  else if (IsArithmeticKind(n.kind) && n.row == SIMPLE_PAIR)
    shape = SHAPE_ARITHMETIC;
  else
    return false;
  return true;
}

// The count of an =, cons or arithmetic node whose two operand nodes start
// at first.
uint16_t LeanShapesOf(const CodeNode* first) {
  LeanShape x, y;
  if (!ShapeOf(first[0], x) || !ShapeOf(*NextNode(first), y) ||
      (x == SHAPE_ARITHMETIC && y == SHAPE_ARITHMETIC))
    return 0;
  return LeanShapes(x, y);
}

// Reads forms into nodes appended to the code area below limit.
class Decoder {
 public:
  Decoder(Interp& in, const Binding* params, uint32_t paramCount,
          uint32_t limit, uint8_t mark)
      : in_(in),
        params_(params),
        paramCount_(paramCount),
        limit_(limit),
        mark_(mark) {}

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
    uint8_t& marks = in_.codeCells[cell];
    if (mark_ == CODE_OF_FORM && (marks & CODE_OF_FORM) == 0)
      in_.transientCode.push_back(cell);
    marks |= mark_;
    in_.codeCellsHigh = std::max(in_.codeCellsHigh, cell + 1);
    return cell;
  }

 private:
  void Leaf(uint8_t kind, uint32_t value, Ref link) {
    Close(Open(kind, value, link));
  }
  void Call(Ref form, Ref link, NameRef head, int depth);
  void Cond(Ref form, Ref link, int depth);
  bool Special(Ref form, Ref link, Handler handler, int depth);
  void Setq(Ref form, Ref link, int depth);
  void Loop(Ref form, Ref link, int depth);
  // The slot of the first parameter named name, or -1.
  int32_t Slot(NameRef name) const {
    for (uint32_t slot = 0; slot < paramCount_; ++slot)
      if (params_[slot].name == name) return int32_t(slot);
    return -1;
  }

  Interp& in_;
  const Binding* params_;
  uint32_t paramCount_;
  uint32_t limit_;
  uint8_t mark_;
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
  if (c.tag == TAG_NUMBER) {
    uint32_t at = Open(K_NUMBER, form, link);
    float v = in_.numbers[c.car].value;
    if (!failed_ && v >= 0.0f && v <= 65535.0f && !std::signbit(v) &&
        float(uint16_t(v)) == v) {
      in_.code[at].row = SMALL_WHOLE;
      in_.code[at].count = uint16_t(v);
    }
    return Close(at);
  }
  if (c.tag == TAG_SYMBOL) {
    // The evaluator finds the first Binding with the name.
    int32_t slot = Slot(c.car);
    if (slot >= 0) return Leaf(K_LOCAL, uint32_t(slot), link);
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
  if (Special(form, link, r.handler, depth)) return;
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
    // Two arguments that are variables or numbers: the commonest shape,
    // (- n 1), gets a path of its own.
    const CodeNode* first = &in_.code[at + 1];
    if (count == 2 && IsSimple(first[0]) && IsSimple(first[1]))
      in_.code[at].row = SIMPLE_PAIR;
    else if (count == 2 && IsListPartOrSimple(first[0]) &&
             IsListPartOrSimple(*NextNode(first)))
      in_.code[at].row = LEAN_PAIR;
    if (count == 2) in_.code[at].count = LeanShapesOf(first);
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
         : r.handler == BuiltinNull     ? K_NULL
         : r.handler == BuiltinCar      ? K_CAR
         : r.handler == BuiltinCdr      ? K_CDR
         : evaluated                    ? K_SPECIAL + r.minArgs
                                        : K_SPECIAL;
  uint32_t at = Open(kind, form, link);
  if (evaluated) Forms(args, depth + 1, r.minArgs);
  if (failed_) return;
  in_.code[at].row = uint8_t(row);
  if (kind == K_NUMBER_EQUAL)
    in_.code[at].count = LeanShapesOf(&in_.code[at + 1]);
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

// The special forms with nodes of their own; false for the others.
bool Decoder::Special(Ref form, Ref link, Handler handler, int depth) {
  Ref args = Cdr(in_, form);
  uint8_t kind = handler == BuiltinProgn ? K_PROGN
                 : handler == BuiltinAnd ? K_AND
                 : handler == BuiltinOr  ? K_OR
                                         : K_SPECIAL;
  if (kind != K_SPECIAL) {
    uint32_t at = Open(kind, form, link);
    Forms(args, depth + 1, BODY_NODES);
    Close(at);
    return true;
  }
  if (handler == BuiltinLoop) {
    Loop(form, link, depth);
    return true;
  }
  // setq and cons need two arguments; with fewer the evaluator fails.
  if (handler != BuiltinSetq && handler != BuiltinCons) return false;
  if (!IsList(in_, args) || !IsList(in_, Cdr(in_, args))) return false;
  Read(args);
  Read(Cdr(in_, args));
  if (handler == BuiltinSetq) {
    Setq(form, link, depth);
  } else {
    uint32_t at = Open(K_CONS, form, link);
    Forms(args, depth + 1, 2);
    if (!failed_) in_.code[at].count = LeanShapesOf(&in_.code[at + 1]);
    Close(at);
  }
  return true;
}

// (setq target value) with a symbol as its target: the Binding's slot of a
// parameter, or a global variable. Any other target fails after the value
// is evaluated, as the evaluator has it.
void Decoder::Setq(Ref form, Ref link, int depth) {
  Ref args = Cdr(in_, form);
  Ref target = Car(in_, args);
  if (!IsSymbol(in_, target)) return Leaf(K_FORM, form, link);
  NameRef name = SymbolName(in_, target);
  int32_t slot = Slot(name);
  uint32_t at = Open(K_SETQ, form, link);
  if (!failed_) {
    in_.code[at].row = slot < 0;
    in_.code[at].count =
        uint16_t(slot >= 0 ? uint32_t(slot) : in_.names[name].global);
  }
  Ref value = Cdr(in_, args);
  Form(Car(in_, value), value, depth + 1);
  Close(at);
}

// (loop form...): each form that is a list headed by a list is an exit
// clause, K_EXIT with its test and its body; the others are forms.
void Decoder::Loop(Ref form, Ref link, int depth) {
  uint32_t at = Open(K_LOOP, form, link);
  for (Ref p = Cdr(in_, form); !failed_ && IsList(in_, p); p = Cdr(in_, p)) {
    Ref f = Car(in_, Read(p));
    if (IsList(in_, f) && IsList(in_, Car(in_, Read(f)))) {
      uint32_t c = Open(K_EXIT, f, p);
      Form(Car(in_, f), f, depth + 1);
      Forms(Cdr(in_, f), depth + 1, BODY_NODES);
      Close(c);
    } else {
      Form(f, p, depth + 1);
    }
  }
  Close(at);
}

// Makes room in the code area for a decoding. The nodes of an earlier
// epoch are dead: their bodies run by their forms, which is why the runners
// never read a node once the epoch has moved.
void PrepareCodeArea(Interp& in) {
  if (in.codeAreaEpoch != in.codeEpoch) {
    in.codeTop = 0;
    in.codeAreaEpoch = in.codeEpoch;
  }
  if (in.codeTop > uint32_t(CODE_CAPACITY) - BODY_NODES) {
    ++in.codeEpoch;  // retires the running bodies before their nodes go
    in.codeTop = 0;
    in.codeAreaEpoch = in.codeEpoch;
  }
}

// Decodes body, the forms of definition, for a Frame with the parameters
// of frame; the index of its K_BODY node, or NO_CODE when it does not fit.
uint32_t DecodeBody(Interp& in, Ref definition, Ref body, const Frame& frame) {
  PrepareCodeArea(in);
  const Binding* params = in.bindings + frame.base;
  Decoder d(in, params, uint32_t(frame.count), in.codeTop + BODY_NODES,
            CODE_OF_FUNCTION);
  // The parameter list decided the slots; the definition holds it and the
  // body.
  d.Read(definition);
  Ref p = Car(in, definition);
  for (int32_t i = 0; i < frame.count; ++i, p = Cdr(in, p)) d.Read(p);
  uint32_t at = d.Open(K_BODY, body, definition);
  if (!d.failed()) in.code[at].count = uint16_t(frame.count);
  for (int32_t i = 0; i < frame.count; ++i)
    d.Close(d.Open(K_PARAM, params[i].name, ERROR_VALUE));
  d.Forms(body, 0, BODY_NODES);
  d.Close(at);
  if (d.failed()) {
    in.codeTop = at;
    return NO_CODE;
  }
  const CodeNode* first = BodyForms(&in.code[at]);
  const CodeNode* end = in.code + in.codeTop;
  in.code[at].row =
      first != end && first->kind == K_COND && NextNode(first) == end;
  return at;
}

// Decodes one form to be evaluated in frame; the index of its node, or
// NO_CODE when it does not fit.
uint32_t DecodeForm(Interp& in, Ref form, const Frame& frame) {
  PrepareCodeArea(in);
  Decoder d(in, in.bindings + frame.base, uint32_t(frame.count),
            in.codeTop + BODY_NODES, CODE_OF_FORM);
  uint32_t at = in.codeTop;
  d.Form(form, ERROR_VALUE, 0);
  if (!d.failed()) return at;
  in.codeTop = at;
  return NO_CODE;
}

// Evaluates the count arguments of a built-in call into a.v; false when
// the call ends there (a failed argument of a row that stops on failure).
template <int count>
[[gnu::always_inline]] inline bool EvaluateArguments(
    Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch,
    bool stopOnFailure, CallArgs& a) {
  const CodeNode* arg = n + 1;
  for (int k = 0; k < count; ++k) {
    Ref link = arg->link;
    a.v[k] = RunNode(in, arg, frame, epoch);
    if (a.v[k] == ERROR_VALUE && stopOnFailure) return false;
    // The count was checked on the form; only the forms left are read.
    if (k + 1 < count && CodeChanged(in, epoch))
      return EvaluateArgumentForms(in, Cdr(in, link), k + 1, count,
                                   stopOnFailure, a);
    if (k + 1 < count) arg = NextNode(arg);
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

// The built-ins called most often, whose handlers are called directly (all
// of them evaluated rows that stop on a failed argument).
template <int count, Handler handler>
Ref RunDirect(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  CallArgs a{
      Cdr(in, n->value), &frame, {ERROR_VALUE, ERROR_VALUE, ERROR_VALUE}};
  if (!EvaluateArguments<count>(in, n, frame, epoch, true, a))
    return ERROR_VALUE;
  return handler(in, a);
}

// progn: its forms, as RunBody evaluates them.
Ref RunProgn(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  return RunForms(in, n + 1, NextNode(n), frame, epoch);
}

// and, or: the forms in turn until one decides, as AndFrom and OrFrom.
template <bool isAnd>
Ref RunAndOr(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  const CodeNode* end = NextNode(n);
  for (const CodeNode* c = n + 1; c != end; c = NextNode(c)) {
    if (RunMustStop(in)) return ERROR_VALUE;
    Ref link = c->link;
    Ref v = RunNode(in, c, frame, epoch);
    if (v == ERROR_VALUE) return ERROR_VALUE;
    if (IsNil(in, v) == isAnd) return isAnd ? in.NIL : in.T;
    if (CodeChanged(in, epoch))
      return isAnd ? AndFrom(in, Cdr(in, link), frame)
                   : OrFrom(in, Cdr(in, link), frame);
  }
  return isAnd ? in.T : in.NIL;
}

// setq to a parameter's Binding or a global variable; a global variable
// that had no entry when the form was read gets one as the evaluator gives
// it.
Ref RunSetq(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  Ref args = Cdr(in, n->value);
  bool global = n->row != 0;
  uint32_t place = n->count;
  Ref v = RunNode(in, n + 1, frame, epoch);
  if (v == ERROR_VALUE) return ERROR_VALUE;
  if (CodeChanged(in, epoch)) return SetqTo(in, args, v, frame);
  if (!global) {
    in.bindings[frame.base + place].value = v;
    return v;
  }
  if (place == 0) {
    // The first assignment makes the variable; the node keeps its entry.
    if (SetqTo(in, args, v, frame) == ERROR_VALUE) return ERROR_VALUE;
    const_cast<CodeNode*>(n)->count =
        in.names[SymbolName(in, Car(in, args))].global;
    return v;
  }
  in.globals[place - 1].value = v;
  return v;
}

// cons: its Cell is taken and rooted first, then the car and the cdr are
// evaluated into it, as BuiltinCons does.
Ref RunCons(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  Ref args = Cdr(in, n->value);
  Ref pair = RootedCell(in);
  if (pair == ERROR_VALUE) return ERROR_VALUE;
  Ref car = RunNode(in, n + 1, frame, epoch);
  if (car == ERROR_VALUE) return ERROR_VALUE;
  in.cells[pair].car = car;
  Ref cdr = CodeChanged(in, epoch)
                ? EvalProtect(in, Car(in, Cdr(in, args)), frame)
                : RunNode(in, NextNode(n + 1), frame, epoch);
  if (cdr == ERROR_VALUE) return ERROR_VALUE;
  in.cells[pair].cdr = cdr;
  return pair;
}

// loop: its forms pass after pass, each pass ending as EndLoopPass ends it;
// an exit clause whose test is not NIL gives the loop's value. On a change
// of the code the pass goes on by the forms (LoopFrom).
// The runner of a K_SETQ node (below), which a loop's pass, mostly setq
// forms, runs without a call.
[[gnu::always_inline]] inline Ref LeanSetq(Interp& in, const CodeNode* n,
                                           Frame& frame, uint32_t epoch);

Ref RunLoop(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  Ref args = Cdr(in, n->value);
  if (RunMustStop(in)) return ERROR_VALUE;
  const uint32_t depth = in.cellTop;
  const CodeNode* end = NextNode(n);
  for (;;) {
    for (const CodeNode* c = n + 1; c != end; c = NextNode(c)) {
      if (RunMustStop(in)) return ERROR_VALUE;
      Ref link = c->link;
      if (c->kind == K_EXIT) {
        Ref clause = c->value;
        const CodeNode* test = c + 1;
        Ref t = RunTest<>(in, test, frame, epoch);
        if (t == ERROR_VALUE) return ERROR_VALUE;
        if (CodeChanged(in, epoch)) {
          if (!IsNil(in, t)) return RunBody(in, Cdr(in, clause), frame);
          return LoopFrom(in, args, Cdr(in, link), depth, frame);
        }
        if (!IsNil(in, t))
          return RunForms(in, NextNode(test), NextNode(c), frame, epoch);
      } else {
        Ref v = c->kind == K_SETQ ? LeanSetq(in, c, frame, epoch)
                                  : RunNode(in, c, frame, epoch);
        if (v == ERROR_VALUE) return ERROR_VALUE;
        if (CodeChanged(in, epoch))
          return LoopFrom(in, args, Cdr(in, link), depth, frame);
      }
    }
    EndLoopPass(in, depth);
    if (RunMustStop(in)) return ERROR_VALUE;
    // The safe point's reclaim may have retired the nodes.
    if (CodeChanged(in, epoch)) return LoopFrom(in, args, args, depth, frame);
  }
}

// An argument of arithmetic that the runner below evaluates: one that calls
// a user function, as in (+ (f (- n 1)) (f (- n 2))), is called directly
// rather than through RunNode's table.
[[gnu::always_inline]] inline Ref RunOperand(Interp& in, const CodeNode* n,
                                             Frame& frame, uint32_t epoch) {
  return n->kind == K_USER ? RunUserCall(in, n, frame, epoch)
                           : RunNode(in, n, frame, epoch);
}

// + and * from their identity; - and / from their first argument, over
// arguments evaluated one by one.
template <Op op>
Ref RunArithmetic(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  const CodeNode* end = NextNode(n);
  const CodeNode* arg = n + 1;
  float acc = op == Op::Multiply ? 1.0f : 0.0f;
  if constexpr (op == Op::Subtract || op == Op::Divide) {
    Ref link = arg->link;
    if (!AsNumber(in, RunOperand(in, arg, frame, epoch), acc))
      return ERROR_VALUE;
    if (CodeChanged(in, epoch))
      return FoldRest<op>(in, Cdr(in, link), frame, acc);
    arg = NextNode(arg);
  }
  for (; arg != end; arg = NextNode(arg)) {
    Ref link = arg->link;
    float x;
    if (!AsNumber(in, RunOperand(in, arg, frame, epoch), x) ||
        !Step<op>(in, acc, x))
      return ERROR_VALUE;
    if (CodeChanged(in, epoch))
      return FoldRest<op>(in, Cdr(in, link), frame, acc);
  }
  return MakeNumber(in, acc);
}

// A call form; its value is protected. Like the evaluator's, each is a
// step and a level of nesting (CallLevel).
template <Ref (*Run)(Interp&, const CodeNode*, Frame&, uint32_t)>
[[gnu::noinline]] Ref RunCallForm(Interp& in, const CodeNode* n, Frame& frame,
                                  uint32_t epoch) {
  CallLevel<false> level(in);
  if (!level.Enter()) return ERROR_VALUE;
  return Protect(in, Run(in, n, frame, epoch));
}

// car and cdr of a variable, and cons of two variables or numbers, the
// commonest list forms, and setq of these or of arithmetic on a simple pair:
// when nothing about them can fail they are done in small functions of
// their own, with the steps, the nesting and the pushes of their runners;
// else their runners run them. Each Try function below does its form whole
// and gives its value, or does nothing and gives ERROR_VALUE.

template <bool car>
[[gnu::always_inline]] inline Ref TryListPart(Interp& in, const CodeNode* n,
                                              const Frame& frame) {
  const CodeNode* arg = n + 1;
  uint32_t top = in.cellTop;
  if (!IsSimple(*arg) || in.depth >= in.depthLimit || in.pollCountdown < 1 ||
      top + 2 >= uint32_t(CELL_STACK_CAPACITY - 1))
    return ERROR_VALUE;
  Ref v = SimpleValue(in, arg, frame);
  if (v == ERROR_VALUE || !IsList(in, v)) return ERROR_VALUE;
  --in.pollCountdown;
  Ref part = car ? Car(in, v) : Cdr(in, v);
  in.cellStack[top++] = v;
  if (!IsSymbol(in, part)) in.cellStack[top++] = part;
  in.cellTop = top;
  return part;
}

[[gnu::always_inline]] inline Ref TryCons(Interp& in, const CodeNode* n,
                                          const Frame& frame) {
  const CodeNode* first = n + 1;
  uint32_t top = in.cellTop;
  if (!IsSimple(first[0]) || !IsSimple(first[1]) || in.depth >= in.depthLimit ||
      in.pollCountdown < 1 || top + 4 >= uint32_t(CELL_STACK_CAPACITY - 1) ||
      FreeCells(in) <= 1)
    return ERROR_VALUE;
  Ref x = SimpleValue(in, first, frame);
  Ref y = SimpleValue(in, first + 1, frame);
  if (x == ERROR_VALUE || y == ERROR_VALUE) return ERROR_VALUE;
  // The pair is rooted before its car and cdr, and again as the value.
  --in.pollCountdown;
  Ref pair = AllocCell(in);  // two are free: it cannot fail
  in.cells[pair] = Cell{TAG_LIST, MARK_USED, x, y};
  in.cellStack[top++] = pair;
  if (!IsSymbol(in, x)) in.cellStack[top++] = x;
  if (!IsSymbol(in, y)) in.cellStack[top++] = y;
  in.cellStack[top++] = pair;
  in.cellTop = top;
  return pair;
}

// cons of two lean operands where TryCons takes only variables and numbers.
// An arithmetic operand is left to the runner: its number would be the
// second allocation after the pair.
[[gnu::noinline]] Ref TryLeanCons(Interp& in, const CodeNode* n,
                                  const Frame& frame) {
  return WithLeanShapes(n->count, [&]<LeanShape x, LeanShape y>() {
    if constexpr (x == SHAPE_ARITHMETIC || y == SHAPE_ARITHMETIC) {
      return ERROR_VALUE;
    } else {
      LeanOperand a, b;
      if (!PlanLeanPair<x, y>(in, n, frame, a, b) || FreeCells(in) <= 1)
        return ERROR_VALUE;
      --in.pollCountdown;
      Ref pair = AllocCell(in);  // two are free: it cannot fail
      in.cells[pair] = Cell{TAG_LIST, MARK_USED, a.value, b.value};
      in.cellStack[in.cellTop++] = pair;
      DoLeanOf<x>(in, a);
      DoLeanOf<y>(in, b);
      in.cellStack[in.cellTop++] = pair;
      return pair;
    }
  });
}

// + - * / of two lean operands that are no arithmetic themselves (whose
// numbers would come before the result's), such as (+ s (car l)): the
// decoder marks such nodes LEAN_PAIR.
template <Op op>
[[gnu::noinline]] Ref TryLeanArithmetic(Interp& in, const CodeNode* n,
                                        const Frame& frame) {
  if (n->row != LEAN_PAIR) return ERROR_VALUE;
  return WithLeanShapes(n->count, [&]<LeanShape x, LeanShape y>() {
    if constexpr (x == SHAPE_ARITHMETIC || y == SHAPE_ARITHMETIC) {
      return ERROR_VALUE;
    } else {
      LeanOperand a, b;
      if (!PlanLeanPair<x, y>(in, n, frame, a, b) || FreeCells(in) <= 1 ||
          FreeNumbers(in) <= 1 || !IsNumber(in, a.value) ||
          !IsNumber(in, b.value))
        return ERROR_VALUE;
      float p = NumberValue(in, a.value);
      float q = NumberValue(in, b.value);
      if (op == Op::Divide && q == 0.0f) return ERROR_VALUE;
      --in.pollCountdown;
      DoLeanOf<x>(in, a);
      DoLeanOf<y>(in, b);
      Ref c = MakeNumber(in, PairValue<op>(p, q));  // cannot fail: see above
      in.cellStack[in.cellTop++] = c;
      return c;
    }
  });
}

// The value of a node that is a variable, a number, one of the list forms
// above or arithmetic on a simple pair, as RunNode gives it.
[[gnu::always_inline]] inline Ref TryLeanValue(Interp& in, const CodeNode* n,
                                               const Frame& frame) {
  switch (n->kind) {
    case K_LOCAL:
    case K_NUMBER:
    case K_GLOBAL: {
      Ref v = SimpleValue(in, n, frame);
      uint32_t top = in.cellTop;
      if (v == ERROR_VALUE || top + 1 >= uint32_t(CELL_STACK_CAPACITY - 1))
        return ERROR_VALUE;
      return Protect(in, v);
    }
    case K_ADD:
      return n->row == SIMPLE_PAIR ? PairArithmetic<Op::Add>(in, n, frame)
                                   : ERROR_VALUE;
    case K_SUBTRACT:
      return n->row == SIMPLE_PAIR ? PairArithmetic<Op::Subtract>(in, n, frame)
                                   : ERROR_VALUE;
    case K_CAR:
      return TryListPart<true>(in, n, frame);
    case K_CDR:
      return TryListPart<false>(in, n, frame);
    case K_CONS:
      return TryCons(in, n, frame);
    default:
      return ERROR_VALUE;
  }
}

// What TryLeanValue leaves: cons and arithmetic over lean operands.
[[gnu::noinline]] Ref TryLeanOperandsValue(Interp& in, const CodeNode* n,
                                           const Frame& frame) {
  switch (n->kind) {
    case K_ADD:
      return TryLeanArithmetic<Op::Add>(in, n, frame);
    case K_SUBTRACT:
      return TryLeanArithmetic<Op::Subtract>(in, n, frame);
    case K_CONS:
      return TryLeanCons(in, n, frame);
    default:
      return ERROR_VALUE;
  }
}

template <bool car>
Ref RunListPart(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  Ref v = TryListPart<car>(in, n, frame);
  if (v != ERROR_VALUE) return v;
  return RunCallForm<RunDirect<1, car ? BuiltinCar : BuiltinCdr>>(in, n, frame,
                                                                  epoch);
}

Ref RunConsOfSimple(Interp& in, const CodeNode* n, Frame& frame,
                    uint32_t epoch) {
  Ref v = TryCons(in, n, frame);
  if (v == ERROR_VALUE) v = TryLeanCons(in, n, frame);
  if (v != ERROR_VALUE) return v;
  return RunCallForm<RunCons>(in, n, frame, epoch);
}

// setq's step and level, its value, the assignment to a parameter or to a
// global variable that has its entry, and the value pushed.
Ref LeanSetq(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  bool global = n->row != 0;
  uint32_t place = n->count;
  if (in.depth < in.depthLimit && in.pollCountdown >= 1 &&
      (!global || place != 0) &&
      in.cellTop + 6 < uint32_t(CELL_STACK_CAPACITY - 1)) {
    --in.pollCountdown;
    ++in.depth;
    Ref v = TryLeanValue(in, n + 1, frame);
    if (v == ERROR_VALUE) v = TryLeanOperandsValue(in, n + 1, frame);
    --in.depth;
    if (v != ERROR_VALUE) {
      if (global)
        in.globals[place - 1].value = v;
      else
        in.bindings[frame.base + place].value = v;
      return Protect(in, v);  // room was left for it
    }
    ++in.pollCountdown;  // nothing was done: the runner does it
  }
  return RunCallForm<RunSetq>(in, n, frame, epoch);
}

Ref RunLeanSetq(Interp& in, const CodeNode* n, Frame& frame, uint32_t epoch) {
  return LeanSetq(in, n, frame, epoch);
}

// The same for + - * /, whose value is a number or ERROR_VALUE.
template <Op op>
Ref RunArithmeticForm(Interp& in, const CodeNode* n, Frame& frame,
                      uint32_t epoch) {
  if (n->row == LEAN_PAIR) {  // spares other shapes, (+ (f) (g)), the call
    Ref lean = TryLeanArithmetic<op>(in, n, frame);
    if (lean != ERROR_VALUE) return lean;
  }
  CallLevel<false> level(in);
  if (!level.Enter()) return ERROR_VALUE;
  Ref v = RunArithmetic<op>(in, n, frame, epoch);
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
    RunCallForm<RunDirect<1, BuiltinMinusp>>,
    RunCallForm<RunDirect<2, BuiltinNumEqual>>,
    RunCallForm<RunDirect<1, BuiltinNull>>,
    RunListPart<true>,
    RunListPart<false>,
    RunLeanSetq,
    RunConsOfSimple,
    RunCallForm<RunProgn>,
    RunCallForm<RunAndOr<true>>,
    RunCallForm<RunAndOr<false>>,
    RunCallForm<RunLoop>,
    RunUserCall,
};
static_assert(std::size(kCallRunners) == K_USER - K_SPECIAL + 1);

Ref PairResultSearching(Interp& in, Ref a, Ref b, float result) {
  if (FreeCells(in) <= 1 || FreeNumbers(in) <= 1) return ERROR_VALUE;
  --in.pollCountdown;
  Ref c = AllocCell(in);
  int32_t slot = AllocNumberSlot(in, result);
  in.cells[c].tag = TAG_NUMBER;
  in.cells[c].car = uint32_t(slot);
  uint32_t top = in.cellTop;
  in.cellStack[top] = a;
  in.cellStack[top + 1] = b;
  in.cellStack[top + 2] = c;
  in.cellTop = top + 3;
  return c;
}

Ref LearnGlobal(Interp& in, const CodeNode* n) {
  int32_t g = FindGlobal(in, n->value);
  if (g < 0) return UnboundVariable(in);
  const_cast<CodeNode*>(n)->count = uint16_t(g + 1);
  return Protect(in, in.globals[g].value);
}

Ref EvalDecoded(Interp& in, Ref form, Frame& frame) {
  if (!in.decodeBodies || !IsList(in, form))
    return EvalProtect(in, form, frame);
  size_t marked = in.transientCode.size();
  uint32_t at = DecodeForm(in, form, frame);
  Ref v = at == NO_CODE ? EvalProtect(in, form, frame)
                        : RunNode(in, in.code + at, frame, in.codeEpoch);
  // The form has run: its nodes are dead, and its Cells may be handed out
  // again without retiring anything. A function's body read from the same
  // Cells keeps its own mark.
  for (size_t i = marked; i < in.transientCode.size(); ++i)
    in.codeCells[in.transientCode[i]] &= uint8_t(~CODE_OF_FORM);
  in.transientCode.resize(marked);
  return v;
}

Ref DecodeAndRunBody(Interp& in, FunctionEntry& f, Ref definition, Ref body,
                     Frame& frame) {
  f.decodedBody = DecodeBody(in, definition, body, frame);
  f.decodedDefinition = definition;
  f.decodedEpoch = in.codeEpoch;
  if (f.decodedBody == NO_CODE) return RunBody(in, body, frame);
  const CodeNode* b = in.code + f.decodedBody;
  return RunForms(in, BodyForms(b), NextNode(b), frame, in.codeEpoch);
}

}  // namespace vex
