// User-visible error messages, shown through the installed front end (a real box in the
// window program, standard error without one).
#pragma once

#include <string>

namespace Caption {
inline constexpr const char* Emulator = "ZEM II";
inline constexpr const char* Program = "ZEM2";
}  // namespace Caption

void showError(const std::string& caption, const std::string& text);
// Informational box (the help text): no error icon.
void showInfo(const std::string& caption, const std::string& text);
