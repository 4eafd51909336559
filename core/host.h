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

// The command ids the core hands to the window thread.
constexpr int CMD_PRINT = 106;
constexpr int CMD_POLL = 107;
constexpr int CMD_WRITE_LINES = 108;
constexpr int CMD_READ_LINES = 109;

// Work handed to the window thread: runs there while the evaluating thread
// waits for it to finish.
class WindowWork {
 public:
  virtual void Run() = 0;

 protected:
  ~WindowWork() = default;
};

// The printer device context of one print job, chosen in the print dialog.
class PrinterPage {
 public:
  virtual ~PrinterPage() = default;
  // GetDeviceCaps: PHYSICALWIDTH 110, PHYSICALHEIGHT 111,
  // PHYSICALOFFSETX 112, PHYSICALOFFSETY 113.
  virtual int DeviceCaps(int index) = 0;
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
  // The close request of a fatal condition (WM_CLOSE to the main window).
  // The core stops touching its areas once the evaluation has unwound.
  virtual void RequestClose() = 0;
  // The main window's title line.
  virtual void SetTitle(std::u16string_view text) = 0;
  // Opens a file by the core's name for it ("\" separates folders);
  // nullptr when it cannot be opened.
  virtual std::unique_ptr<HostFile> OpenFile(std::u16string_view name,
                                             FileMode mode) = 0;
  // Runs work synchronously on the window thread (commands 106 to 109).
  // CMD_POLL carries no work (nullptr): one round trip through the window
  // thread, during which mouse and key input is delivered.
  virtual void SendCommand(int command, WindowWork* work) = 0;
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
  virtual void* ReserveArea(size_t bytes) { return std::calloc(bytes, 1); }
  virtual void ReleaseArea(void* area, size_t /*bytes*/) { std::free(area); }
  // The print dialog (window thread): the chosen printer, or nullptr when
  // the user cancelled or the dialog failed.
  virtual std::unique_ptr<PrinterPage> ChoosePrinter() = 0;
};

}  // namespace vex
