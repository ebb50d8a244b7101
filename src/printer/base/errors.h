// Error classes of ZEMPrint. Every failure of intake, settings and printing is
// raised as one of these; the top level shows the text and ends the program.
#pragma once

#include <stdexcept>
#include <string>

namespace zemprint {

// The general error class the top level catches.
class EZEMPrint : public std::runtime_error {
public:
    explicit EZEMPrint(const std::string& message) : std::runtime_error(message) {}
};

// Printer and output-device failures.
class EPrinter : public EZEMPrint {
public:
    using EZEMPrint::EZEMPrint;
};

// The job ended in the middle of a read.
class EReadError : public EZEMPrint {
public:
    using EZEMPrint::EZEMPrint;
};

// The job is written in another printer language and is not printed.
class EJobLanguage : public EZEMPrint {
public:
    using EZEMPrint::EZEMPrint;
};

// printf-style formatting of a message text (at most 1023 characters).
std::string formatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zemprint
