// The window program's front end: the machine's requests served on the GUI thread's Qt
// loop. Message boxes are real boxes when the program has a display; on Qt's offscreen
// platform (no display) they go to standard error as the headless front end writes them.
#pragma once

#include "base/front_end.h"

class QtFrontEnd : public FrontEnd {
public:
    void messageBox(const std::string& caption, const std::string& text, MessageIcon icon) override;
    StartDialogResult runStartDialog() override;
    void setWindowTitle(const std::string& title) override;
    bool isForeground() override;
    void flashWindow() override;
    bool clipboardPut(const std::string& text) override;
    std::optional<std::string> clipboardText() override;
    int openFile(const std::string& file, const std::string& parameters) override;
    void requestQuit() override;
    void processorEnded() override;
};
