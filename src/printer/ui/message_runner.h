// The windows' modal message boxes (the save question, error messages) run
// through here, so that tests can answer them; the program shows them as they are.
#pragma once

#include <functional>

class QMessageBox;

namespace zemprint {

// Shows the box and returns the button pressed (a QMessageBox::StandardButton).
using MessageBoxRunner = std::function<int(QMessageBox&)>;

int runMessageBox(QMessageBox& box);
// An empty runner restores the plain modal box.
void setMessageBoxRunner(MessageBoxRunner runner);

// Shows an error text in the program's error box through the runner.
void showWindowError(const char* text);

}  // namespace zemprint
