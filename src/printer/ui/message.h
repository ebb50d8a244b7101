// The top level's message box: captioned "ZEMPrint" with the error icon, or a
// line on standard error when there is no display to show it on.
#pragma once

#include <memory>
#include <string>

class QMessageBox;

namespace zemprint {

bool displayAvailable();
void showError(const std::string& text);

// The box showError shows when there is a display.
std::unique_ptr<QMessageBox> makeErrorBox(const std::string& text);

}  // namespace zemprint
