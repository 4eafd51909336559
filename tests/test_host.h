// A host for the unit tests of the language core: records messages, titles
// and close requests, keeps source files in memory and draws nowhere.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/canvas.h"
#include "core/host.h"
#include "core/interp.h"

namespace vex::coretest {

class CoreHost : public Host {
 public:
  void ShowMessage(std::u16string_view caption,
                   std::u16string_view text) override;
  void RequestClose() override { ++closes; }
  void SetTitle(std::u16string_view text) override;
  // Files are looked up by the exact name the core asks for.
  std::unique_ptr<HostFile> OpenFile(std::u16string_view name,
                                     FileMode mode) override;
  void RunOnWindowThread(WindowJob, WindowWork& work) override { work.Run(); }
  void WaitForInput() override {}
  Canvas& Surface() override { return canvas_; }
  std::unique_ptr<PrinterPage> ChoosePrinter() override { return nullptr; }

  // "caption: text" in UTF-8, one per message shown.
  std::vector<std::string> messages;
  std::vector<std::string> titles;
  int closes = 0;
  std::map<std::u16string, std::string> files;  // name -> raw bytes

 private:
  NullCanvas canvas_;
};

// An interpreter as after start-up with an empty library: the areas, NIL and
// T, and the start-up marker on the CellStack.
class Session {
 public:
  Session();
  Interp& in() { return *in_; }
  CoreHost host;
  // Runs text as a typed program: the printed value, or "<failed>" when the
  // run showed no value (a refused or failed read, or a failed evaluation).
  std::string Run(std::u16string_view text);
  std::string Run(const std::string& utf8);
  // The messages shown since the last call, then forgets them.
  std::vector<std::string> TakeMessages();

 private:
  std::unique_ptr<Interp> in_;
};

// The printed form of a Cell.
std::string Printed(Interp& in, Ref cell);

}  // namespace vex::coretest
