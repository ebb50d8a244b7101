#include "printer/escp.h"

#include <cmath>

#include "printer/data.h"
#include "printer/printer.h"
#include "printer/settings.h"

namespace zemprint {

namespace {

enum : std::uint8_t {
    NUL = 0, BS = 8, HT = 9, LF = 10, VT = 11, FF = 12, CR = 13, CAN = 24, ESC = 27, DEL = 127
};

constexpr int kBase = 7200;                   // the interpreter's units per inch
constexpr int kAbsoluteHorizontalUnit = 120;  // 1/60 inch in base units
constexpr int kAbsoluteVerticalUnit = 20;     // 1/360 inch
constexpr int kTabColumns = 8;
constexpr int kMaxBitImageColumns = 7905;

// Vertical dots per inch of the bit-image modes; 0 where the mode does not exist.
int verticalDensity(int mode)
{
    switch (mode) {
    case 0: case 1: case 2: case 3: case 4: case 6: return 60;
    case 5: case 7: return 72;
    case 32: case 33: case 38: case 39: case 40: return 180;
    case 71: case 72: case 73: return 360;
    default: return 0;
    }
}

// Parameter bytes of the ESC commands that this stage skips whole.
int fixedParameterCount(std::uint8_t command)
{
    switch (command) {
    case 25: case ' ': case '!': case '%': case '+': case '-': case '/': case '3': case 'A': case 'I':
    case 'J': case 'N': case 'Q': case 'R': case 'S': case 'U': case 'W': case 'a': case 'j': case 'k':
    case 'l': case 'm': case 'p': case 'q': case 'r': case 's': case 't': case 'w': case 'x':
        return 1;
    case '$': case '?': case '\\': case 'c': case 'e': case 'f':
        return 2;
    case ':': case 'X':
        return 3;
    case '_':
        return 10;
    default:
        return 0;
    }
}

}  // namespace

TESCP::TESCP(TData& data, TPrinter& printer, const TSettings& settings)
    : data_(data), printer_(printer), settings_(settings)
{
}

int TESCP::toTwips(int value, int unit) const
{
    return static_cast<int>(std::nearbyint(static_cast<double>(value) * unit * kTwipsPerInch / kBase));
}

void TESCP::run()
{
    reset(true);
    stop_ = false;
    while (!data_.atEnd() && !stop_) {
        processItem();
        if (printer_.singlePage > 0 && printer_.singlePage < printer_.pageCount() && !countAll)
            stop_ = true;
    }
}

void TESCP::reset(bool withPageEnd)
{
    tabCount_ = static_cast<int>(tabStops_.size());
    for (int i = 0; i < tabCount_; ++i)
        tabStops_[static_cast<std::size_t>(i)] = (i + 1) * kTabColumns * printer_.cellWidth();
    currentSlot_ = 0;
    for (std::size_t slot = 0; slot < slots_.size(); ++slot)
        slots_[slot] = charsetByIdOrDefault(static_cast<std::uint32_t>(settings_.values().charsets[slot])).table;
    printer_.reset(withPageEnd);
}

void TESCP::processItem()
{
    const std::uint8_t b = data_.readByte();
    switch (b) {
    case NUL: case 7: case 14: case 15: case 17: case 18: case 19: case 20: case DEL:
        return;
    case BS:
        printer_.setX(printer_.previousX());
        printer_.setY(printer_.previousY());
        return;
    case HT:
        horizontalTab();
        return;
    case LF:
        lineFeed();
        return;
    case VT:
        lineFeed();
        return;
    case FF:
        printer_.endPage();
        return;
    case CR: case CAN:
        printer_.setX(printer_.limits.effectiveLeft());
        return;
    case ESC:
        escape();
        return;
    default:
        printByte(b);
    }
}

void TESCP::printByte(std::uint8_t byte)
{
    printer_.printCharacter(slots_[currentSlot_][byte]);
}

void TESCP::horizontalTab()
{
    const int current = printer_.getX();
    for (int i = 0; i < tabCount_; ++i) {
        const int target = printer_.limits.effectiveLeft() + tabStops_[static_cast<std::size_t>(i)];
        if (target > printer_.limits.effectiveRight())
            return;
        if (target > current) {
            printer_.setX(target);
            return;
        }
    }
}

void TESCP::lineFeed()
{
    printer_.setX(printer_.limits.effectiveLeft());
    printer_.setY(printer_.y() + printer_.lineSpacing);
}

void TESCP::escape()
{
    const std::uint8_t command = data_.readByte();
    switch (command) {
    case '@':
        reset(true);
        return;
    case '(':
        extended();
        return;
    case 1:
        skipJobControl();
        return;
    case '$':
        printer_.setX(toTwips(data_.readWord(), kAbsoluteHorizontalUnit));
        return;
    case '+':
        printer_.lineSpacing = toTwips(data_.readByte(), kBase / 360);
        return;
    case '3':
        printer_.lineSpacing = toTwips(data_.readByte(), kBase / 180);
        return;
    case 'A':
        printer_.lineSpacing = toTwips(data_.readByte(), kBase / 60);
        return;
    case '0':
        printer_.lineSpacing = kTwipsPerInch / 8;
        return;
    case '1':
        printer_.lineSpacing = static_cast<int>(std::nearbyint(7.0 * kTwipsPerInch / 72));
        return;
    case '2':
        printer_.lineSpacing = kTwipsPerInch / 6;
        return;
    case 'J':
        printer_.setY(printer_.y() + toTwips(data_.readByte(), kBase / 180));
        return;
    case 'k': {
        const int typeface = data_.readByte();
        printer_.setTypeface(typeface < kTypefaceCount ? typeface : 0);
        return;
    }
    case 't': {
        // "0" to "3" count as 0 to 3; other values leave the slot alone.
        int slot = data_.readByte();
        if (slot >= '0' && slot <= '3')
            slot -= '0';
        if (slot < static_cast<int>(slots_.size()))
            currentSlot_ = static_cast<std::size_t>(slot);
        return;
    }
    case 'B':
        skipUntil(NUL);
        return;
    case 'D': {
        tabCount_ = 0;
        int previous = 0;
        for (int n = data_.readByte(); n != 0 && n >= previous; n = data_.readByte()) {
            if (tabCount_ < static_cast<int>(tabStops_.size()))
                tabStops_[static_cast<std::size_t>(tabCount_++)] = n * printer_.cellWidth();
            previous = n;
        }
        return;
    }
    case 'C':
        if (data_.readByte() == 0)
            data_.readByte();
        return;
    case 'K': case 'L': case 'Y': case 'Z':
        skipBitImage(1);
        return;
    case '*': {
        const int density = verticalDensity(data_.readByte());
        if (density != 0)
            skipBitImage(density / 60);
        return;
    }
    case '^': {
        const int mode = data_.readByte();
        const int count = data_.readWord();
        if ((mode == 0 || mode == 1) && count % 2 == 0)
            data_.skip(count);
        return;
    }
    default:
        data_.skip(fixedParameterCount(command));
    }
}

void TESCP::extended()
{
    const std::uint8_t command = data_.readByte();
    if (command == 'R') {
        skipRemoteMode();
        return;
    }
    const int length = data_.readWord();
    if (command == 'V' && (length == 2 || length == 4)) {
        const long value = length == 2 ? data_.readWord() : static_cast<std::int32_t>(data_.readLong());
        printer_.setY(printer_.limits.effectiveTop() + toTwips(static_cast<int>(value), kAbsoluteVerticalUnit));
        return;
    }
    switch (command) {
    case 'K': data_.skip(2); return;
    case 'S': data_.skip(8); return;
    case 'i': case 's': data_.skip(1); return;
    case '-': data_.skip(3); return;
    default: data_.skip(length);
    }
}

void TESCP::skipBitImage(int bytesPerColumn)
{
    const int columns = data_.readWord();
    if (columns <= kMaxBitImageColumns)
        data_.skip(static_cast<std::int64_t>(columns) * bytesPerColumn);
}

void TESCP::skipUntil(std::uint8_t terminator)
{
    while (data_.readByte() != terminator) {
    }
}

void TESCP::skipJobControl()
{
    // Until ESC "@" (ESC ESC "@" as well); the "@" is consumed.
    for (;;) {
        if (data_.readByte() != ESC)
            continue;
        std::uint8_t next = data_.readByte();
        while (next == ESC)
            next = data_.readByte();
        if (next == '@')
            return;
    }
}

void TESCP::skipRemoteMode()
{
    // Until ESC NUL NUL NUL; another ESC starts the count again.
    int zeros = -1;
    for (;;) {
        const std::uint8_t b = data_.readByte();
        if (b == ESC)
            zeros = 0;
        else if (b == NUL && zeros >= 0 && ++zeros == 3)
            return;
        else if (b != NUL)
            zeros = -1;
    }
}

}  // namespace zemprint
