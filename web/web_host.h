// The browser host: the interpreter on a thread of its own in a Web Worker,
// the page on the browser's main thread, both in one shared memory.
//
// Design note. The page plays the window thread. It never waits for the
// interpreter: what it asks for (a run, a stop, a key, a click) it writes
// here and wakes the interpreter's thread; what the interpreter shows (the
// title, message boxes, the picture, files, a page to print) waits here
// until the page takes it at its next animation frame. The interpreter's
// thread waits where the window program's interpreter thread waits: while
// a message box is open, while the print dialog is up, between two looks at
// the mouse, and in sleep. The fields from lock_ on are guarded by it; the
// pixels keep their own order, and the pointer state and the key are the
// interpreter's, under its input lock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/host.h"
#include "web/web_canvas.h"

namespace vexweb {

// Where the interpreter is.
enum class State : int32_t {
  Starting,  // loading the start-up library
  Idle,      // waiting for a program
  Running,   // a run is in progress
  Closed,    // the start-up failed or a fatal condition ended the program
};

// The size of the page printout prints on: an A4 sheet within margins of
// 10 mm, in CSS pixels (96 to the inch), so one unit is one pixel.
constexpr int PRINT_WIDTH = 718;
constexpr int PRINT_HEIGHT = 1047;

class WebHost final : public vex::Host {
 public:
  // The back buffer: bufferWidth x bufferHeight pixels (the screen's size).
  WebHost(int bufferWidth, int bufferHeight);

  // vex::Host, from the interpreter's thread (ShowMessage and SetTitle
  // from the page's thread as well).
  void ShowMessage(std::u16string_view caption,
                   std::u16string_view text) override;
  void RequestClose() override;
  void SetTitle(std::u16string_view text) override;
  std::unique_ptr<vex::HostFile> OpenFile(std::u16string_view name,
                                          vex::FileMode mode) override;
  void RunOnWindowThread(vex::WindowJob job, vex::WindowWork& work) override;
  void WaitForInput() override;
  vex::Canvas& Surface() override { return surface_; }
  void* ReserveArea(size_t bytes, vex::AreaUse) override;
  void ReleaseArea(void*, size_t) override {}
  std::unique_ptr<vex::PrinterPage> ChoosePrinter() override;

  // --- the interpreter's thread.
  void SetState(State state);
  // Waits for the next program typed; false once the program has ended.
  bool NextRun(std::u16string& text);
  bool CloseRequested();
  // The page printout made (an SVG image); the print work then waits for
  // the page's print dialog.
  void PrintReady(std::string svg);

  // --- the page's thread.
  State CurrentState();
  // Hands a typed program to the interpreter; during a run it shows
  // "Lispプログラムの実行中です。" instead, and answers false.
  bool StartRun(std::u16string_view text);
  // Ends a wait for input at once: input arrived, or the run is stopped.
  void WakeWaits();
  // The next message box to show, one at a time: false while one is open
  // or none waits.
  bool TakeBox(std::u16string& caption, std::u16string& text);
  void CloseBox();
  // The title, when it changed since the last time it was taken.
  bool TakeTitle(std::u16string& title);
  // The page printout made, when one waits for the print dialog; PrintDone
  // lets the program go on once the dialog has closed.
  bool TakePrint(std::string& svg);
  void PrintDone();
  // The page's files: those of the site (the start-up library, the
  // examples), uploaded ones and those a program wrote. The user's own
  // (uploaded or written) are offered for download.
  void PutFile(std::u16string_view name, std::string bytes, bool users);
  // Changes with every file written or uploaded.
  uint32_t FilesVersion();
  // The names of the user's files, one per line, newest first.
  std::u16string UsersFiles();
  bool ReadFile(std::u16string_view name, std::string& bytes);

  Pixels& pixels() { return pixels_; }
  WebCanvas& surface() { return surface_; }

 private:
  struct Box {
    uint32_t id;
    std::u16string caption;
    std::u16string text;
  };
  struct File {
    std::u16string name;  // as it was given
    std::string bytes;
    bool users;
    uint64_t written;  // when, in FilesVersion's count
  };

  Pixels pixels_;
  WebCanvas surface_;

  std::mutex lock_;
  std::condition_variable changed_;
  State state_ = State::Starting;
  bool closeRequested_ = false;
  bool runPending_ = false;
  std::u16string runText_;
  uint32_t inputVersion_ = 0;
  std::deque<Box> boxes_;
  uint32_t lastBox_ = 0;    // the id of the newest box
  uint32_t openBox_ = 0;    // the box the page shows, 0 for none
  uint32_t closedBox_ = 0;  // every box up to this one has been closed
  std::u16string title_;
  bool titleChanged_ = false;
  std::string print_;
  bool printWaiting_ = false;
  bool printTaken_ = false;
  std::map<std::u16string, File> files_;  // by FileKey
  uint32_t filesVersion_ = 0;
};

}  // namespace vexweb
