// The console host: the interpreter in a terminal, with an event transcript
// for tests.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console/console_canvas.h"
#include "core/host.h"
#include "core/interp.h"

namespace vex {

struct ConsoleOptions {
  bool events = false;      // --events: one line per event on stdout
  bool drawEvents = false;  // --draw-events: drawing primitives too
  int width = 800;          // --size WxH: the client size
  int height = 600;
  std::string svgPath;                // --svg FILE: the surface, kept current
  std::vector<std::string> programs;  // -e TEXT, in order
  std::string file;                   // FILE.LSP, run after the programs
  bool repl = false;  // the REPL at the end: -i, or nothing else to run
};

class ConsoleHost : public Host {
 public:
  explicit ConsoleHost(const ConsoleOptions& options);

  void ShowMessage(std::u16string_view caption,
                   std::u16string_view text) override;
  void RequestClose() override;
  void SetTitle(std::u16string_view text) override;
  std::unique_ptr<HostFile> OpenFile(std::u16string_view name,
                                     FileMode mode) override;
  void RunOnWindowThread(WindowJob, WindowWork& work) override { work.Run(); }
  void WaitForInput() override;
  Canvas& Surface() override { return canvas_; }
  std::unique_ptr<PrinterPage> ChoosePrinter() override { return nullptr; }
#ifdef __linux__
  void* ReserveArea(size_t bytes, AreaUse use) override;
  void ReleaseArea(void* area, size_t bytes) override;
#endif

  // Lets the window-less polls of point input answer: the interpreter whose
  // pointer state they update.
  void Attach(Interp* in) { interp_ = in; }
  bool CloseRequested() const { return closeRequested_; }
  ConsoleCanvas& canvas() { return canvas_; }

 private:
  const ConsoleOptions& options_;
  ConsoleCanvas canvas_;
  Interp* interp_ = nullptr;
  bool closeRequested_ = false;
};

// Runs the console program with the given options; the exit status.
int RunConsole(const ConsoleOptions& options);

}  // namespace vex
