// The interpreter's debug trace, written only with the Debug setting on:
// command lines and the collected text as they come; commands not
// implemented, ignored or given illegal parameters once per name with a
// count at the end of the run, so a job repeating one cannot flood the output.
#pragma once

#include <map>
#include <string>

namespace zemprint {

class EscpTrace {
public:
    explicit EscpTrace(bool debug) : debug_(debug) {}

    bool debug() const { return debug_; }

    // A command line, printf-style (Debug only); the pending text goes first.
    void command(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Counted as "\"name\" not implemented".
    void notImplemented(const std::string& name);
    // Counted as "\"name\" ignored".
    void ignored(const std::string& name);
    // Counted as "Illegal parameter: name".
    void illegal(const std::string& name);
    // Writes each counted line once, with "(n times)" when it came more than
    // once, and clears the counts.
    void summarise();

    // Collects a printed character (Debug only; the caller checks debug()).
    void appendText(char16_t c);
    // At CR and LF: "Text: %s" when text is pending.
    void lineEnd();
    void clearText() { text_.clear(); }
    const std::string& pendingText() const { return text_; }

private:
    void flushQuoted();

    void count(const std::string& line);

    bool debug_;
    std::string text_;
    std::map<std::string, long> counts_;
};

}  // namespace zemprint
