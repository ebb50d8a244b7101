// The program's run from start-up to exit, after the application object exists.
#pragma once

class QApplication;

namespace zemprint {

// Returns the process exit code: 0 after a run that printed, was cancelled or
// had an empty job; 1 when an error was shown.
// standardInput is the descriptor of standard input, or -1 when the program
// was started without one.
int runProgram(QApplication& app, int standardInput);

// Chooses Qt's offscreen platform when there is neither an X nor a Wayland display.
void chooseHeadlessPlatform();

}  // namespace zemprint
