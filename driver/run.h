// Start-up and the run of one typed program, shared by every host.
#pragma once

#include <string_view>

#include "core/interp.h"

namespace vex {

// The areas, NIL and T, the start-up marker, then the start-up library
// (library + ".LSP"). False after the messages (the host then ends).
bool StartInterpreter(Interp& in, std::u16string_view library = u"src\\vexsys");

enum class Prepared {
  Reopen,      // nothing to run, or the checks refused it: reopen the dialog
  ReadFailed,  // the reader failed: no run, the dialog stays closed
  Ready,       // program holds the expression; the run's marker is pushed
};

// The window thread's part of a run: the text (at most the first 3,998
// units are taken), line breaks to blanks, the balance check, the quote
// expansion, the run's marker and the reading.
Prepared PrepareRun(Interp& in, std::u16string_view inputText, Ref& program);

// The run routine: evaluates program with the empty Frame, shows the value
// in the title, pops the run's marker. Returns the value or ERROR_VALUE.
Ref ExecuteRun(Interp& in, Ref program);

// False when the environment says VEXILON_DECODE=0: every user function is
// then run through the evaluator instead of as a decoded body. A host reads
// it once, when it makes an interpreter (Interp::decodeBodies).
bool DecodeBodiesFromEnvironment();

// Marks the calling thread's stack for the nesting guard: budget bytes of
// stack below the caller may be used by evaluation, which bounds the
// nesting of call forms at the same depth in both engines.
void SetStackGuard(Interp& in, size_t budget);

}  // namespace vex
