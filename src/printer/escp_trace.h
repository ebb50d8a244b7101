// The interpreter's debug trace: command lines and the collected text only
// with the Debug setting on; "not implemented" and illegal parameters always.
#pragma once

#include <string>

namespace zemprint {

class EscpTrace {
public:
    explicit EscpTrace(bool debug) : debug_(debug) {}

    bool debug() const { return debug_; }

    // A command line, printf-style (Debug only); the pending text goes first.
    void command(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // "\"name\" not implemented", always.
    void notImplemented(const std::string& name);
    // "\"name\" ignored", Debug only.
    void ignored(const std::string& name);
    // "Illegal parameter: name", always.
    void illegal(const std::string& name);

    // Collects a printed character (Debug only; the caller checks debug()).
    void appendText(char16_t c);
    // At CR and LF: "Text: %s" when text is pending.
    void lineEnd();
    void clearText() { text_.clear(); }
    const std::string& pendingText() const { return text_; }

private:
    void flushQuoted();

    bool debug_;
    std::string text_;
};

}  // namespace zemprint
