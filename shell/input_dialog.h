// The InputDialog MYDB: the program text typed by the user.
#pragma once

#include <string>

#include "shell/win32.h"

namespace vexshell {

// Longest text taken from the edit box, in UTF-16 units.
constexpr int INPUT_TEXT_LIMIT = 3998;

// Opens the dialog modally over owner with text in the edit box. "クリア"
// empties text and the box; "実行" replaces text with the box's text (at
// most INPUT_TEXT_LIMIT units) and returns 1; Esc or the close box return
// 0 (-1 when the dialog could not be made).
INT_PTR RunInputDialog(HINSTANCE instance, HWND owner, std::u16string& text);

}  // namespace vexshell
