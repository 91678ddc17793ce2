// The message box every layer calls. The window layer installs the drawn
// dialog; before that (and in programs without it) caption and text go to
// stderr and the answer is IDOK.
#pragma once

#include <functional>
#include <string>

#include "platform/WinTypes.h"

namespace platform {

using MessageBoxHandler =
    std::function<int(void* owner, const std::wstring& text, const std::wstring& caption, unsigned type)>;

int MessageBoxW(void* owner, const std::wstring& text, const std::wstring& caption, unsigned type);
void SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform
