// The Win32 host of the interpreter: message boxes, the title line, files,
// the handover of work to the window thread, the surfaces and the printer.
//
// Design note. The core runs on two threads (the window thread at start-up
// and for the handed-over work, a run's thread otherwise), so every call here
// works from either. The window thread never waits for a run's thread while
// that thread waits for it: a close request from a run, or from work done for
// a run, is posted rather than sent, and the release waits for the thread
// only while answering the messages the thread sends.
#pragma once

#include <atomic>
#include <memory>

#include "core/host.h"
#include "shell/gdi_canvas.h"

namespace vexshell {

struct App;

class WinHost final : public vex::Host {
 public:
  explicit WinHost(App& app) : app_(app) {}

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

  // Window thread, the commands of handed-over work: runs the work the
  // sender left, unless the window is going away (the sender then finds its
  // results unset).
  void RunPendingWork();

 private:
  App& app_;
  std::atomic<vex::WindowWork*> pendingWork_{nullptr};
};

}  // namespace vexshell
