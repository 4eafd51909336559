// The host interface: the only way the portable core reaches the outside.
//
// A host (the Win32 window program, the console program, a test) implements
// Host and hands it to the Interp it creates. The core never includes a
// platform header; everything it needs from the system passes through here:
// message boxes, the close request, the title line, files, the handover of
// work to the window thread, and the canvas of drawing operations.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <thread>

namespace vex {

class Canvas;

// How the interpreter uses an area. Almost every run touches the first
// megabytes of a swept area at once, as allocation and pushes move through
// it (the Cells, the numbers, the CellStack); the other areas see a page
// here and there.
enum class AreaUse { Sparse, Swept };

// An open file as the core sees it: a byte source or a byte sink.
class HostFile {
 public:
  virtual ~HostFile() = default;
  // The next byte (0..255), or -1 at the end of the file or on error.
  virtual int Get() = 0;
  // Appends bytes; false when the write failed.
  virtual bool Put(std::string_view bytes) = 0;
};

// How a file is opened: source files are read in binary; line files are
// read and written as text (the core never writes line breaks).
enum class FileMode { ReadBinary, ReadText, WriteText };

// What a job handed to the window thread is for. The Win32 host turns each
// into its own window command; the other hosts run the job in place.
enum class WindowJob { Print, SaveLines, LoadLines };

// Work handed to the window thread: runs there while the evaluating thread
// waits for it to finish.
class WindowWork {
 public:
  virtual void Run() = 0;

 protected:
  ~WindowWork() = default;
};

// Where a printer's page lies, in printer pixels: the whole sheet and the
// offsets of the printable area's top-left corner, which is the origin of
// the printer's drawing.
struct PageGeometry {
  int width = 0;
  int height = 0;
  int offsetX = 0;
  int offsetY = 0;
};

// The printer of one print job, chosen in the print dialog.
class PrinterPage {
 public:
  virtual ~PrinterPage() = default;
  virtual PageGeometry Geometry() = 0;
  virtual void StartDocument(std::u16string_view name) = 0;
  virtual void StartPage() = 0;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  virtual void Arc(int left, int top, int right, int bottom, int xs, int ys,
                   int xe, int ye) = 0;
  virtual void EndPage() = 0;
  virtual void EndDocument() = 0;
};

class Host {
 public:
  virtual ~Host() = default;

  // A modal message box owned by the main window, OK button only.
  virtual void ShowMessage(std::u16string_view caption,
                           std::u16string_view text) = 0;
  // Asks the program to end (a fatal condition). The core stops touching
  // its areas once the evaluation has unwound.
  virtual void RequestClose() = 0;
  // The main window's title line.
  virtual void SetTitle(std::u16string_view text) = 0;
  // Opens a file by the core's name for it ("\" separates folders);
  // nullptr when it cannot be opened.
  virtual std::unique_ptr<HostFile> OpenFile(std::u16string_view name,
                                             FileMode mode) = 0;
  // Runs work on the window thread and returns when it is done; meanwhile
  // the interpreter belongs to the window thread.
  virtual void RunOnWindowThread(WindowJob job, WindowWork& work) = 0;
  // One pass of a wait for the mouse: returns once the input that reached
  // the window so far has been applied to the pointer state. A host may
  // first wait a short while for new input, so that a waiting program does
  // not keep a processor busy.
  virtual void WaitForInput() = 0;
  // The drawing surfaces (window and back buffer).
  virtual Canvas& Surface() = 0;
  // Pauses the evaluating thread (one slice of `sleep`). Hosts that must not
  // wait (the fuzzers) return at once.
  virtual void Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  // Reserves a zero-filled area of the interpreter without touching it, or
  // nullptr; the interpreter gives it back with ReleaseArea. A host may place
  // large areas where they fault in cheaply (large pages, fresh mappings).
  virtual void* ReserveArea(size_t bytes, AreaUse /*use*/) {
    return std::calloc(bytes, 1);
  }
  virtual void ReleaseArea(void* area, size_t /*bytes*/) { std::free(area); }
  // The print dialog (window thread): the chosen printer, or nullptr when
  // the user cancelled or the dialog failed.
  virtual std::unique_ptr<PrinterPage> ChoosePrinter() = 0;
};

}  // namespace vex
