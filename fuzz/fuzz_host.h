// The host of the fuzz targets: files in memory, no window, no waiting.
//
// One interpreter serves many inputs, as one window serves many runs; it is
// made again when a fatal condition (an area or table full) has asked the
// window to close. Every run has a step budget, so endless loops end.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/canvas.h"
#include "core/host.h"
#include "core/interp.h"

namespace vex::fuzz {

class FuzzHost : public Host {
 public:
  void ShowMessage(std::u16string_view, std::u16string_view) override {}
  void RequestClose() override {}
  void SetTitle(std::u16string_view) override {}
  std::unique_ptr<HostFile> OpenFile(std::u16string_view name,
                                     FileMode mode) override;
  void RunOnWindowThread(WindowJob, WindowWork& work) override { work.Run(); }
  void WaitForInput() override;
  Canvas& Surface() override { return canvas_; }
  std::unique_ptr<PrinterPage> ChoosePrinter() override { return nullptr; }
  void Pause(int) override {}
  void* ReserveArea(size_t bytes) override;
  void ReleaseArea(void* area, size_t bytes) override;

  // The file the core opens under name (names as the core spells them).
  void SetFile(const std::u16string& name, std::string bytes) {
    files_[name] = std::move(bytes);
  }
  void Attach(Interp* in) { interp_ = in; }
  // Drops every file, those the programs wrote included.
  void ForgetFiles() { files_.clear(); }

 private:
  std::map<std::u16string, std::string> files_;
  NullCanvas canvas_;
  Interp* interp_ = nullptr;
};

// The shared interpreter, started (with an empty start-up library) on the
// first call and made again after a fatal condition or once it has used a
// large part of the Cell area.
Interp& SharedInterp(FuzzHost& host);

// Runs one typed program with a step budget; the value or ERROR_VALUE.
Ref RunWithBudget(Interp& in, std::u16string_view text);

// The UTF-16 text of bytes taken as UTF-8 where valid, units otherwise.
std::u16string TextOf(const uint8_t* data, size_t size);

}  // namespace vex::fuzz
