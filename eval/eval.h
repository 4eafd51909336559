// The evaluator: forms to values, the special forms, user-function calls.
#pragma once

#include "core/assert.h"
#include "core/interp.h"
#include "eval/builtins.h"
#include "memory/memory.h"

namespace vex {

// The parts of EvalProtect: a call form, and a symbol's value (each pushed
// unless it is a symbol or ERROR_VALUE). A call goes to the caller of its
// operator's row (eval/builtins.h).
Ref EvalCallProtect(Interp& in, Ref form, Frame& frame);
Ref EvalSymbolProtect(Interp& in, NameRef name, const Frame& frame);

// A value that is neither ERROR_VALUE nor a symbol is pushed on the
// CellStack, so the collector sees it for the rest of the unit of work.
[[gnu::always_inline]] inline Ref Protect(Interp& in, Ref v) {
  if (v == ERROR_VALUE || LiveCell(in, v).tag == TAG_SYMBOL) return v;
  return PushCell(in, v) ? v : ERROR_VALUE;
}

// The value of form in frame, or ERROR_VALUE after the failure was shown;
// a value that is not a symbol is pushed on the CellStack. Numbers are
// their own values and take the shortest path.
inline Ref EvalProtect(Interp& in, Ref form, Frame& frame) {
  const Cell& c = LiveCell(in, form);
  if (c.tag == TAG_NUMBER) return PushCell(in, form) ? form : ERROR_VALUE;
  if (c.tag == TAG_LIST) return EvalCallProtect(in, form, frame);
  return EvalSymbolProtect(in, c.car, frame);
}
// The value of form in frame, as EvalProtect gives it: a call form is
// decoded and its nodes run (a typed program, an expression of a loaded
// file), anything else evaluated as it stands.
Ref EvalDecoded(Interp& in, Ref form, Frame& frame);

// RunMustStop's look at the flags (below), every INTERRUPT_INTERVAL calls.
bool CheckInterrupt(Interp& in);
// True when the run has to stop: interrupted, out of steps, or the window is
// closing. Shows "実行を中断しました" for an interrupt or a spent budget.
// Cheap: it looks at the flags only every INTERRUPT_INTERVAL calls.
[[gnu::always_inline]] inline bool RunMustStop(Interp& in) {
  if (--in.pollCountdown >= 0) return false;
  return CheckInterrupt(in);
}

// Evaluates the forms of a list in order: the last value, NIL for none.
// Each form is a step, as each element of and, or, cond and loop is: a list
// made circular runs on only until the run is stopped.
inline Ref RunBody(Interp& in, Ref forms, Frame& frame) {
  Ref result = in.NIL;
  for (; LiveCell(in, forms).tag == TAG_LIST; forms = Cdr(in, forms)) {
    if (RunMustStop(in)) return ERROR_VALUE;
    result = EvalProtect(in, Car(in, forms), frame);
    if (result == ERROR_VALUE) return ERROR_VALUE;
  }
  return result;
}

// Evaluates a built-in's argument forms from the list Cell forms on into
// a.v[k], ..., a.v[count - 1], left to right; false when a failed value
// ends the call (only when stopOnFailure).
inline bool EvaluateArgumentForms(Interp& in, Ref forms, int k, int count,
                                  bool stopOnFailure, CallArgs& a) {
  for (; k < count; ++k, forms = Cdr(in, forms)) {
    a.v[k] = EvalProtect(in, Car(in, forms), *a.frame);
    if (stopOnFailure && a.v[k] == ERROR_VALUE) return false;
  }
  return true;
}

// True when the native stack has room for one more level of evaluation;
// NestingTooDeep is the failure when it has not. The address of a local
// marks the frame: the frame's own address would keep a register for it in
// every function this is inlined into.
[[gnu::always_inline]] inline bool StackHasRoom(const Interp& in) {
  char here;
  return reinterpret_cast<uintptr_t>(&here) > in.stackLimit;
}
[[gnu::noinline, gnu::cold]] Ref NestingTooDeep(Interp& in);
// The failure of a symbol with neither a Binding nor a global variable.
[[gnu::noinline, gnu::cold]] Ref UnboundVariable(Interp& in);
// cond's clauses from the list clauses on, in frame: the value of the body
// of the first clause whose test is not NIL, else NIL.
Ref CondFrom(Interp& in, Ref clauses, Frame& frame);

// A safe point, where every value the evaluation still needs is on a root:
// a named call before its body runs, and loop between two passes. At a
// named call an area with fewer than GC_THRESHOLD free elements is
// collected, with the title's report; at both, garbage is reclaimed when the
// schedule asks for it (at every safe point in the collector stress build).
// A pending interrupt makes the next step look, so a run stopped while it
// keeps collecting stops after one collection.
template <bool namedCall>
inline void SafePoint(Interp& in) {
#ifndef VEX_GC_STRESS
  // A named call's common case, in one look at each count.
  if (namedCall && FreeCells(in) >= in.callPointCells &&
      FreeNumbers(in) >= in.callPointNumbers)
    return;
#endif
  bool low = FreeCells(in) < GC_THRESHOLD || FreeNumbers(in) < GC_THRESHOLD;
#ifdef VEX_GC_STRESS
  bool due = true;
#else
  bool due = ReclaimDue(in);
#endif
  if (!due && !(namedCall && low)) return;
  if (in.interruptRequested.load(std::memory_order_relaxed))
    in.pollCountdown = 0;
  if (namedCall && low)
    Collect(in);
  else
#ifdef VEX_GC_STRESS
    CollectForStress(in);
#else
    Reclaim(in);
#endif
}

// The evaluation of one call form, in either engine: entering it is one
// step of the run, where an interrupt or a spent step budget stops it, and
// one level deeper, where too deep a nesting fails. Both engines evaluate
// the same call forms in the same order and nesting, so they count alike
// and stop at the same form. The guard of the stack address, the last
// resort, is looked at where the native stack can grow without bound: every
// call form of the evaluator and every call of a user function (the other
// nodes of a decoded body nest at most DECODE_DEPTH deep between two such).
template <bool lookAtStack = true>
class CallLevel {
 public:
  explicit CallLevel(Interp& in) : in_(in) { ++in.depth; }
  ~CallLevel() { --in_.depth; }
  CallLevel(const CallLevel&) = delete;
  CallLevel& operator=(const CallLevel&) = delete;
  // False when the form is not evaluated: after "評価の入れ子が深すぎます。
  // 実行を中止しました", or for a run that has to stop.
  [[gnu::always_inline]] bool Enter() {
    if (in_.depth > in_.depthLimit || (lookAtStack && !StackHasRoom(in_))) {
      NestingTooDeep(in_);
      return false;
    }
    return !RunMustStop(in_);
  }

 private:
  Interp& in_;
};

// The end of a pass of loop: the CellStack goes back to depth, where it
// stood when the loop began, so what the pass made is kept only through
// variables and the structures they reach, and so a loop runs for as long as
// its live data fits; then the safe point.
inline void EndLoopPass(Interp& in, uint32_t depth) {
  VEX_ASSERT(in.cellTop >= depth && "a pass pops no further than its loop");
  in.cellTop = depth;
  SafePoint<false>(in);
}

// What the special forms do from a point on, for the decoded nodes that hand
// the rest of their form to the evaluator when the code changes under them
// (eval/decoded.cpp):
// setq's assignment of value, once evaluated, to the target in args;
Ref SetqTo(Interp& in, Ref args, Ref value, Frame& frame);
// and and or over the argument forms from the list Cell p on;
Ref AndFrom(Interp& in, Ref p, Frame& frame);
Ref OrFrom(Interp& in, Ref p, Frame& frame);
// loop over the forms args, whose CellStack stood at depth when it began,
// going on in the middle of a pass with the forms from the list Cell rest on
// (a pass is complete when rest is no list Cell).
Ref LoopFrom(Interp& in, Ref args, Ref rest, uint32_t depth, Frame& frame);
// A new list Cell (NIL . NIL) rooted on the CellStack, as cons and list take
// it before their arguments are evaluated (eval/lists.cpp).
Ref RootedCell(Interp& in);

// Calls the user function a form names (eval/functions.cpp).
Ref CallFunction(Interp& in, Ref form, Frame& frame);
// Calls a lambda value with argument forms evaluated in frame.
Ref CallLambda(Interp& in, Ref lambda, Ref argForms, Frame& frame);

// Assignment as setq does it: a Binding of frame with the name, else the
// GlobalTable entry (created when absent). The value, or ERROR_VALUE.
Ref Assign(Interp& in, Ref symbol, Ref value, Frame& frame);

// The count of list Cells along a chain.
int32_t ListLength(Interp& in, Ref list);
// True when list holds at least n list Cells along its chain.
bool HasArgs(Interp& in, Ref list, int n);

}  // namespace vex
