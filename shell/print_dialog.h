// The print dialog and the printer page of one printout (Win32 GDI).
#pragma once

#include <memory>

#include "core/host.h"
#include "shell/win32.h"

namespace vexshell {

// Shows the print dialog owned by owner (window thread). The chosen
// printer's page, or nullptr when the user cancelled or the dialog failed.
std::unique_ptr<vex::PrinterPage> ChoosePrinterPage(HWND owner);

}  // namespace vexshell
