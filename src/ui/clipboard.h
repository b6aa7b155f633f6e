#pragma once
// Text onto the Windows clipboard, with every failure told: another program may hold the
// clipboard open, and the operator would then paste whatever was there before.
#include "base/result.h"

#include <windows.h>

#include <string_view>

// Replaces the clipboard's content with the text (as Unicode text; Windows offers the other
// text formats from it). A failure is the failed call's name, ": " and the system's description.
Result<void> copy_to_clipboard(HWND owner, std::string_view text);
