// printout: the drawing record on one printed page.
//
// Design note. The page shows the program's own record, not the surface's
// pixels: the lines and arcs of the two lists, in list order, with the
// printer's default pen and no scaling (one turtle unit is one printer dot),
// the turtle origin on the centre of the printable area. The dialog and the
// printing run on the window thread while the program's thread waits.
#include <memory>

#include "eval/builtins.h"
#include "memory/memory.h"
#include "turtle/turtle.h"

namespace vex {

namespace {

// The printer pixel of a turtle coordinate: the sum in single precision,
// truncated toward zero.
int32_t PagePixel(float offset, float v) { return TruncToInt(offset + v); }

void PrintRoutine(Interp& in) {
  in.PrintResult = 0;
  std::unique_ptr<PrinterPage> page = in.host.ChoosePrinter();
  if (!page) return;
  // The differences in integers; 64 bits keep absurd device answers defined.
  PageGeometry g = page->Geometry();
  int64_t width = int64_t{g.width} - 2 * int64_t{g.offsetX};
  int64_t height = int64_t{g.height} - 2 * int64_t{g.offsetY};
  float offx = static_cast<float>(static_cast<double>(width) * 0.5);
  float offy = static_cast<float>(static_cast<double>(height) * 0.5);
  page->StartDocument(u"printout");
  page->StartPage();
  bool ok = true;
  bool linesWhole = WalkList(in, in.PendingLines, [&](Ref record) {
    float v[4];
    if (!RecordValues(in, record, 4, v)) {
      ok = false;
      return;
    }
    page->MoveTo(PagePixel(offx, v[0]), PagePixel(offy, v[1]));
    page->LineTo(PagePixel(offx, v[2]), PagePixel(offy, v[3]));
  });
  bool arcsWhole = WalkList(in, in.PendingArcs, [&](Ref record) {
    float v[8];
    if (!RecordValues(in, record, 8, v)) {
      ok = false;
      return;
    }
    page->Arc(PagePixel(offx, v[0]), PagePixel(offy, v[1]),
              PagePixel(offx, v[2]), PagePixel(offy, v[3]),
              PagePixel(offx, v[4]), PagePixel(offy, v[5]),
              PagePixel(offx, v[6]), PagePixel(offy, v[7]));
  });
  in.PrintResult = ok && linesWhole && arcsWhole ? 1 : 0;
  page->EndPage();
  page->EndDocument();
}

}  // namespace

Ref BuiltinPrintout(Interp& in, CallArgs& a) {
  in.PendingLines = a.v[0];
  in.PendingArcs = a.v[1];
  in.PrintResult = 0;
  RoutineWork<PrintRoutine> work(in);
  in.host.RunOnWindowThread(WindowJob::Print, work);
  return in.PrintResult ? in.T : in.NIL;
}

}  // namespace vex
