// TESCP: reads the job through TData and drives TPrinter.
//
// This is the first stage of the interpreter: it prints the text of a job in
// fixed-pitch cells and follows the line, page and position commands; every
// other command is read with its parameters and skipped, so that parameter
// bytes never print as text. A job that ends inside a command fails with the
// job reader's "Read beyond end of file %d".
#pragma once

#include <array>
#include <cstdint>

#include "printer/data/charsets.h"
#include "printer/settings.h"

namespace zemprint {

class TData;
class TPrinter;
class TSettings;

class TESCP {
public:
    TESCP(TData& data, TPrinter& printer, const TSettings& settings);

    void run();
    // Keep interpreting to the end although only one page is output.
    bool countAll = false;

private:
    void processItem();
    void escape();
    void extended();
    void reset(bool withPageEnd);
    void printByte(std::uint8_t byte);
    void horizontalTab();
    void lineFeed();
    void skipUntil(std::uint8_t terminator);
    void skipJobControl();
    void skipRemoteMode();
    void skipBitImage(int bytesPerColumn);
    int toTwips(int value, int unit) const;

    TData& data_;
    TPrinter& printer_;
    const TSettings& settings_;
    bool stop_ = false;
    std::array<CharsetTable, kCharsetSlotCount> slots_{};
    std::size_t currentSlot_ = 0;
    std::array<int, 32> tabStops_{};
    int tabCount_ = 0;
};

}  // namespace zemprint
