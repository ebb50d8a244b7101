// ESC ( commands: each carries a length word after its letter, so an unknown
// one is skipped by that length and the job goes on.
#include <optional>

#include "printer/job/data.h"
#include "printer/escp/escp.h"
#include "printer/escp/escp_codes.h"
#include "printer/escp/escp_units.h"
#include "printer/page/page_model.h"
#include "printer/data/control_glyphs.h"

namespace zemprint {

namespace {

constexpr int kLengthWord = 2;
constexpr int kExtendedUnitBase = 3600;  // ESC ( U length 1: m / 3600 inch
constexpr int kRemoteModeZeros = 3;

bool isSimpleUnit(int m)
{
    switch (m) {
    case 5:
    case 10:
    case 20:
    case 30:
    case 40:
    case 50:
    case 60:
        return true;
    default:
        return false;
    }
}

}  // namespace

void TESCP::extended()
{
    const std::uint8_t command = data_.readByte();
    if (command == 'R') {
        remoteMode();
        return;
    }
    const int length = data_.readWord();
    if (command == 'G') {
        graphicsMode(length);
        return;
    }
    extendedCommand(command, length);
}

// The ESC ( commands of text and graphics mode alike. Whatever is not acted
// on is skipped by its length word, so no parameter can print.
void TESCP::extendedCommand(std::uint8_t command, int length)
{
    switch (command) {
    case '-':
        scoreLine();
        return;
    case 'C':
        pageLengthUnits(length);
        return;
    case 'D':
        rasterResolution(length);
        return;
    case 'U':
        units(length);
        return;
    case 'V':
        absoluteVertical(length);
        return;
    case '\\':
        relativeHorizontalHigh(length);
        return;
    case '^':
        printDataAsCharacters(length);
        return;
    case 'c':
        pageFormat(length);
        return;
    case 'r':
        extendedColour(length);
        return;
    case 't':
        assignCharTable(length);
        return;
    case 'v':
        relativeVertical(length);
        return;
    default:
        break;
    }
    data_.skip(length);
    switch (command) {
    case 'B':
        trace_.notImplemented("Bar code setup and print");
        return;
    case 'K':
        trace_.ignored("Select monochrome mode");
        return;
    case 'S':
        trace_.ignored("Set paper dimension");
        return;
    case 'e':
        trace_.ignored("Select dot size");
        return;
    case 'i':
        trace_.ignored("Select microweave print mode");
        return;
    case 'm':
        trace_.ignored("Select print method");
        return;
    case 's':
        trace_.ignored("Select printing speed");
        return;
    default:
        trace_.notImplemented("Unknown ESC( code (" + std::to_string(command) + ")");
        return;
    }
}

// ESC ( D: the dot spacing of ESC i bands, r / v and r / h dots per inch.
void TESCP::rasterResolution(int length)
{
    if (length != 4) illegal("SetRasterResolution n");
    const int r = data_.readWord();
    const int v = data_.readByte();
    const int h = data_.readByte();
    trace_.command("SetRasterResolution %d %d %d", r, v, h);
    if (v == 0 || h == 0 || r / v == 0 || r / h == 0) illegal("SetRasterResolution");
    rasterVerticalDpi_ = r / v;
    rasterHorizontalDpi_ = r / h;
}

// ESC ( r m c: m = 1 gives the light inks (dark for yellow).
void TESCP::extendedColour(int length)
{
    if (length != 2) illegal("SetColourGraphics n");
    const int m = data_.readByte();
    const int c = data_.readByte();
    trace_.command("SetColourGraphics %d %d", m, c);
    const std::optional<Rgb> ink = inkColour(m, c);
    if (!ink) illegal("SetColourGraphics");
    setColourValue(*ink);
}

void TESCP::remoteMode()
{
    trace_.command("Enter remote mode");
    // Until ESC NUL NUL NUL; another ESC starts the count again, any other
    // byte goes back to looking for ESC.
    int zeros = -1;
    for (;;) {
        const std::uint8_t b = data_.readByte();
        if (b == ESC) {
            zeros = 0;
        } else if (b == NUL && zeros >= 0) {
            if (++zeros == kRemoteModeZeros) break;
        } else {
            zeros = -1;
        }
    }
    trace_.command("Exit remote mode");
}

void TESCP::scoreLine()
{
    const int m = data_.readByte();
    const int d1 = data_.readByte();
    const int d2 = data_.readByte();
    trace_.command("SelectLineScore %d %d %d", m, d1, d2);
    ScoreStyle style = ScoreStyle::None;
    switch (d2) {
    case 0:
        style = ScoreStyle::None;
        break;
    case 1:
        style = ScoreStyle::Single;
        break;
    case 2:
        style = ScoreStyle::Double;
        break;
    case 5:
        style = ScoreStyle::SingleBroken;
        break;
    case 6:
        style = ScoreStyle::DoubleBroken;
        break;
    default:
        illegal("SelectLineScore");
    }
    if (m != 1) illegal("SelectLineScore");
    switch (d1) {
    case 1:
        page_.setUnderline(style);
        break;
    case 2:
        page_.setStrikeThrough(style);
        break;
    case 3:
        page_.setOverline(style);
        break;
    default:
        illegal("SelectLineScore");
    }
}

void TESCP::pageLengthUnits(int length)
{
    std::int64_t value = 0;
    if (length == 2) {
        value = data_.readWord();
        trace_.command("SetPageLength %d units", static_cast<int>(value));
    } else if (length == 4) {
        value = data_.readLong();
        trace_.command("SetPageLengthExtended %d units", saturate(value));
    } else {
        illegal("SetPageLengthUnit n");
    }
    setPageLength(unitsToTwips(value, pageUnit_));
}

void TESCP::units(int length)
{
    if (length == 1) {
        const int m = data_.readByte();
        if (!isSimpleUnit(m)) illegal("SetUnit m");
        trace_.command("SetUnit %d", m);
        const int unit = m * kEscpBase / kExtendedUnitBase;
        pageUnit_ = relativeHorizontalUnit_ = absoluteHorizontalUnit_ = unit;
        relativeVerticalUnit_ = absoluteVerticalUnit_ = unit;
    } else if (length == 5) {
        const int page = data_.readByte();
        const int vertical = data_.readByte();
        const int horizontal = data_.readByte();
        const int m = data_.readWord();
        // Printers take 1440, 2880, 3600 and 5760 here; any divisor of the
        // base keeps the units exact.
        if (m == 0 || kEscpBase % m != 0 || page == 0 || vertical == 0 || horizontal == 0) illegal("SetExtendedUnit m");
        trace_.command("SetExtendedUnit %d %d %d %d", page, vertical, horizontal, m);
        pageUnit_ = page * kEscpBase / m;
        relativeHorizontalUnit_ = absoluteHorizontalUnit_ = horizontal * kEscpBase / m;
        relativeVerticalUnit_ = absoluteVerticalUnit_ = vertical * kEscpBase / m;
    } else {
        illegal("SetUnit n");
    }
    defaultUnits_ = false;
}

void TESCP::absoluteVertical(int length)
{
    std::int64_t value = 0;
    if (length == 2)
        value = data_.readWord();
    else if (length == 4)
        value = data_.readLong();
    else
        illegal("SetAbsVertPos");
    trace_.command("SetAbsVertPos %d", saturate(value));
    page_.setY(saturate(static_cast<std::int64_t>(page_.topLimit()) + unitsToTwips(value, absoluteVerticalUnit_)));
}

void TESCP::relativeVertical(int length)
{
    std::int64_t value = 0;
    if (length == 2)
        value = data_.readSignedWord();
    else if (length == 4)
        value = static_cast<std::int32_t>(data_.readLong());
    else
        illegal("SetRelVertPos");
    trace_.command("SetRelVertPos %d", static_cast<int>(value));
    page_.setY(saturate(static_cast<std::int64_t>(page_.y()) + unitsToTwips(value, relativeVerticalUnit_)));
}

void TESCP::relativeHorizontalHigh(int length)
{
    if (length != 4) illegal("SelRelHorPosHi");
    const int a = data_.readWord();
    const int d = static_cast<std::int16_t>(data_.readWord());
    // a is the unit, 1/a inch: drivers send 1440 and the finer 2880 and 5760.
    if (a == 0 || kEscpBase % a != 0) illegal("SelRelHorPosHi");
    trace_.command("SetRelHorPosHi %d %d %d", length, a, d);
    const std::int64_t target =
        static_cast<std::int64_t>(page_.getX()) + divRoundEven(std::int64_t{d} * kTwipsPerInchEscp, a);
    if (target > 0 && target <= page_.rightLimit()) page_.setX(static_cast<int>(target));
}

void TESCP::printDataAsCharacters(int length)
{
    trace_.command("PrintDataAsChar");
    std::int32_t remaining = length;
    while (remaining > 0) {
        const std::uint8_t b = data_.readByte();
        --remaining;
        if (const auto glyph = controlGlyph(b)) {
            page_.printCharacter(*glyph);
            if (trace_.debug()) trace_.appendText(*glyph);
        } else {
            // A composition may only use bytes of this block.
            remaining -= printMapped(b, remaining);
        }
    }
}

void TESCP::pageFormat(int length)
{
    std::int64_t top = 0;
    std::int64_t bottom = 0;
    if (length == 4) {
        top = data_.readWord();
        bottom = data_.readWord();
        if (top >= bottom) illegal("SetPageFormat t >= b");
        trace_.command("SetPageFormat %d %d", static_cast<int>(top), static_cast<int>(bottom));
    } else if (length == 8) {
        top = data_.readLong();
        bottom = data_.readLong();
        if (top >= bottom) illegal("SetPageFormatExtended t >= b");
        trace_.command("SetPageFormatExtended %d %d", saturate(top), saturate(bottom));
    } else {
        illegal("SetPageFormat n");
    }
    formBottom_ = 0;
    // At the top of the form the head goes to the new top margin, as on
    // paper; ESC ( v moves from there.
    const bool atTopOfForm = page_.y() == page_.topLimit();
    page_.cancelBottomLimit();
    page_.setTopLimit(unitsToTwips(top, pageUnit_));
    page_.setBottomLimit(unitsToTwips(bottom, pageUnit_));
    if (atTopOfForm) page_.setY(page_.topLimit());
}

void TESCP::assignCharTable(int length)
{
    if (length != 3) illegal("AssignCharTable");
    const int d1 = data_.readByte();
    const std::uint8_t d2 = data_.readByte();
    const std::uint8_t d3 = data_.readByte();
    if (d1 >= kSlotCount) illegal("AssignCharTable");
    const std::uint32_t id = charsetIdFromSelector(d2, d3);
    const TCharset* table = charsetById(id);
    if (table == nullptr) illegal("Unsuported table");
    trace_.command("AssignCharTable %d %d %d %d", d1, d2, d3, static_cast<int>(id));
    slots_[d1] = table->table;
}

}  // namespace zemprint
