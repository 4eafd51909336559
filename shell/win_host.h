// The Win32 host of the interpreter: message boxes, the title line, files,
// the handover of work to the window thread, the waits for input, the
// surfaces and the printer.
//
// Design note. The core runs on two threads (the window thread at start-up
// and for the handed-over work, a run's thread otherwise), so every call here
// works from either. A run's thread hands the window thread whatever may open
// a box (its messages, the print and line-file work) and waits for it to be
// carried out; the window thread carries it out at once, or, while a box of
// its own is open, as soon as that box closes, and drops it when the window
// goes away. The window thread therefore never waits for a run's thread while
// that thread waits for it: a close request from a run is posted rather than
// sent, and the release waits for the thread only after the window is gone.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "core/host.h"
#include "shell/gdi_canvas.h"
#include "shell/win32.h"

namespace vexshell {

struct App;

// The message a run's thread sends to have its message box shown.
constexpr UINT WM_RUN_MESSAGE = WM_APP;

class WinHost final : public vex::Host {
 public:
  explicit WinHost(App& app);
  WinHost(const WinHost&) = delete;
  WinHost& operator=(const WinHost&) = delete;
  ~WinHost() override;

  void ShowMessage(std::u16string_view caption,
                   std::u16string_view text) override;
  void RequestClose() override;
  void SetTitle(std::u16string_view text) override;
  std::unique_ptr<vex::HostFile> OpenFile(std::u16string_view name,
                                          vex::FileMode mode) override;
  void RunOnWindowThread(vex::WindowJob job, vex::WindowWork& work) override;
  void WaitForInput() override;
  vex::Canvas& Surface() override;
  std::unique_ptr<vex::PrinterPage> ChoosePrinter() override;

  // Window thread, when a run's thread has handed something over: carries it
  // out now, or keeps it while a modal box is open.
  void TakeHandedOver();
  // Window thread: carries out what was kept (or drops it once the window is
  // going away) and lets the run's thread go on.
  void CarryOutHandedOver();
  // Ends a run's wait for input at once (a click, Ctrl+Break, the close).
  void WakeWaits() { SetEvent(inputEvent_); }

 private:
  // A run's thread: hands action to the window thread with the message and
  // waits until it has been carried out or dropped.
  void HandOver(UINT message, WPARAM wParam,
                const std::function<void()>& action);

  // Where the one handed-over action is: handed by a run's thread, kept by
  // the window thread, being carried out there, done (or dropped).
  enum class Handover { None, Handed, Kept, Running, Done };

  App& app_;
  HANDLE inputEvent_;
  std::mutex lock_;
  std::condition_variable finished_;
  const std::function<void()>* handed_ = nullptr;
  Handover state_ = Handover::None;
};

}  // namespace vexshell
