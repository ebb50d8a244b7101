// User-visible error messages. There is no window yet, so every box is written to
// standard error as its caption and its text; the window front end replaces this one
// function with a real message box.
#pragma once

#include <string>

namespace Caption {
inline constexpr const char* Emulator = "ZEM II";
inline constexpr const char* Program = "ZEM2";
}  // namespace Caption

void showError(const std::string& caption, const std::string& text);
// Informational box (the help text): same channel, no error icon.
void showInfo(const std::string& caption, const std::string& text);
