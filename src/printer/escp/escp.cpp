#include "printer/escp/escp.h"

#include <algorithm>
#include <cmath>

#include "printer/job/data.h"
#include "printer/data/compositions.h"
#include "printer/data/international_sets.h"
#include "printer/escp/escp_codes.h"
#include "printer/escp/escp_units.h"
#include "printer/job/job_language.h"
#include "printer/base/errors.h"
#include "printer/page/page_model.h"

namespace zemprint {

namespace {

// Bytes that print as characters while ESC I 0 has switched control codes off.
constexpr std::array<bool, 256> makePrintsWhenDisabled()
{
    std::array<bool, 256> table{};
    for (int b = 0; b <= 6; ++b) table[b] = true;
    for (int b : {16, 17, 21, 22, 23, 25, 26, 28, 29, 30, 31}) table[b] = true;
    for (int b = 128; b <= 159; ++b) table[b] = true;
    return table;
}
constexpr std::array<bool, 256> kPrintsWhenDisabled = makePrintsWhenDisabled();

constexpr std::uint8_t kFirstPrintable = 32;
constexpr double kStandardPointSize = 10.5;
constexpr double kStandardPitch = 10.0;
constexpr double kFifteenPitch = 15.0;
constexpr double kPitchTolerance = 1e-7;
constexpr int kProportionalColumnTwips = 144;  // margins count 1/10 inch columns in proportional mode
constexpr int kMaxPageLengthLines = 127;
constexpr int kMaxBottomMarginLines = 128;
constexpr int kMaxHmi = 1080;              // in 1/360 inch
constexpr int kMultipointPitchBase = 360;  // ESC X m: pitch = 360 / m characters per inch
constexpr int kFirstMultipointPitch = 5;
constexpr int kDefaultInternationalAlias = 64;  // ESC R 64 is set 13
constexpr int kLastInternationalSet = 13;
constexpr int kMaxTypeface = 11;
constexpr std::array<int, 4> kDefaultDensities = {60, 120, 120, 240};

constexpr std::array<Rgb, 7> kColours = {{
    {0, 0, 0},
    {255, 0, 255},
    {0, 255, 255},
    {159, 95, 159},
    {255, 255, 0},
    {255, 0, 0},
    {0, 255, 0},
}};

// A parameter byte that may also arrive as its ASCII digit.
int digitValue(std::uint8_t n) { return n >= '0' && n <= '9' ? n - '0' : n; }

bool isFifteenPitch(double pitch) { return std::fabs(pitch - kFifteenPitch) < kPitchTolerance; }

}  // namespace

TESCP::TESCP(TData& data, PageModel& page, const EscpSettings& settings)
    : data_(data), page_(page), pins_(settings.pins), trace_(settings.debug), charsetIds_(settings.charsets)
{
}

void TESCP::illegal(const std::string& name) { throw EIllegalParameter(name); }

// --- main loop ---

void TESCP::run()
{
    refuseForeignLanguage();
    reset(true);
    stop_ = false;
    // The selection is fixed for the run; only a selecting run counts pages here.
    const bool selecting = page_.singlePage() > 0 && !countAll;
    try {
        while (!data_.atEnd() && !stop_) {
            try {
                processItem();
            } catch (const EIllegalParameter& failure) {
                // The bytes read so far stay consumed; the next byte starts afresh.
                trace_.illegal(failure.name());
            }
            if (selecting && selectionPassed()) stop_ = true;
        }
    } catch (...) {
        trace_.summarise();
        throw;
    }
    trace_.summarise();
}

void TESCP::refuseForeignLanguage()
{
    std::string start;
    std::uint8_t byte = 0;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(kJobLanguageProbe) && data_.peek(i, byte); ++i)
        start += static_cast<char>(byte);
    const std::string language = foreignJobLanguage(start);
    if (!language.empty()) throw EJobLanguage("The print data is " + language + ", not ESC/P: nothing was printed");
}

void TESCP::reset(bool withPageEnd)
{
    oneLineDoubleWidth_ = false;
    pageUnit_ = kUnitDefaultPage;
    relativeHorizontalUnit_ = kUnitDefaultRelativeHorizontal;
    absoluteHorizontalUnit_ = kUnitDefaultAbsoluteHorizontal;
    relativeVerticalUnit_ = kUnitDefaultVertical;
    absoluteVerticalUnit_ = kUnitDefaultVertical;
    defaultUnits_ = true;
    draft_ = false;
    leaveMultipoint();
    controlCodes_ = true;
    // The stops follow the cell and line spacing in force before the page
    // model resets them.
    const std::int64_t cell = page_.cellWidth();
    horizontalTabCount_ = kHorizontalTabCapacity;
    for (int i = 0; i < kHorizontalTabCapacity; ++i) horizontalTabs_[i] = saturate((i + 1) * kDefaultTabColumns * cell);
    const std::int64_t spacing = page_.lineSpacing();
    verticalTabCount_ = kVerticalTabCapacity;
    for (int i = 0; i < kVerticalTabCapacity; ++i)
        verticalTabs_[i] = saturate((i + 1) * kDefaultVerticalTabLines * spacing);
    currentSlot_ = 0;
    for (int j = 0; j < kSlotCount; ++j) slots_[j] = charsetByIdOrDefault(charsetIds_[j]).table;
    densities_ = kDefaultDensities;
    // Downloaded characters stay in the printer's memory; the ROM set is
    // selected again.
    userSet_ = false;
    rasterHorizontalDpi_ = 0;
    rasterVerticalDpi_ = 0;
    trace_.clearText();
    formBottom_ = 0;
    colour_ = Rgb{};
    page_.reset(withPageEnd);
}

void TESCP::processItem()
{
    const std::uint8_t b = data_.readByte();
    if (!controlCodes_ && kPrintsWhenDisabled[b]) {
        printByte(b);
        return;
    }
    switch (b) {
    case NUL:
        trace_.ignored("NUL");
        return;
    case BEL:
        trace_.ignored("BEL");
        return;
    case BS:
        backspace();
        return;
    case HT:
        horizontalTab();
        return;
    case LF:
        lineFeed();
        return;
    case VT:
        verticalTab();
        return;
    case FF:
        formFeed();
        return;
    case CR:
        carriageReturn();
        return;
    case SO:
        doubleWidthOneLine();
        return;
    case SI:
        setCondensed(true);
        return;
    case DC1:
        trace_.notImplemented("Select printer");
        return;
    case DC2:
        setCondensed(false);
        return;
    case DC3:
        trace_.notImplemented("Deselect printer");
        return;
    case DC4:
        cancelDoubleWidth();
        return;
    case CAN:
        page_.setX(page_.leftLimit());
        return;
    case ESC:
        escape();
        return;
    case DEL:
        trace_.ignored("DEL");
        return;
    default:
        // A control code that is no command leaves no mark and does not move.
        if (b < kFirstPrintable) {
            trace_.ignored("Control code " + std::to_string(b));
            return;
        }
        printByte(b);
        return;
    }
}

void TESCP::printByte(std::uint8_t b)
{
    if (userSet_ && userCharacters_[b].defined) {
        printUserCharacter(b);
        return;
    }
    printMapped(b, INT32_MAX);
}

int TESCP::printMapped(std::uint8_t b, std::int32_t lookahead)
{
    const CharsetTable& slot = slots_[currentSlot_];
    char16_t c = slot[b];
    int consumed = 0;
    std::uint8_t next = 0;
    std::uint8_t second = 0;
    if (lookahead >= 2 && data_.peek(0, next) && next == BS && data_.peek(1, second)) {
        if (const auto composite = composeOverstrike(c, slot[second])) {
            c = *composite;
            data_.skip(2);
            consumed = 2;
        }
    }
    lastAdvance_ = page_.characterAdvance(c);
    page_.printCharacter(c);
    if (trace_.debug()) trace_.appendText(slot[b]);
    return consumed;
}

// --- control codes ---

// Each BS steps back one character: the cell in fixed pitch, the last
// character's own width in proportional text. The line stays, and the left
// limit is as far as the head goes.
void TESCP::backspace()
{
    const int step = page_.proportional() ? lastAdvance_ : page_.cellWidth();
    const std::int64_t x = static_cast<std::int64_t>(page_.getX()) - step;
    page_.setX(static_cast<int>(std::max<std::int64_t>(x, page_.leftLimit())));
}

void TESCP::horizontalTab()
{
    int x = page_.getX();
    const std::int64_t left = page_.leftLimit();
    const int right = page_.rightLimit();
    for (int i = 0; i < horizontalTabCount_; ++i) {
        const int target = saturate(left + horizontalTabs_[i]);
        if (target > right) break;
        if (target > x) {
            page_.setX(target);
            x = target;
            break;
        }
    }
    trace_.command("HorizTab %d", x);
}

void TESCP::lineFeed()
{
    trace_.lineEnd();
    page_.setX(page_.leftLimit());
    page_.setY(saturate(static_cast<std::int64_t>(page_.y()) + page_.lineSpacing()));
    endOneLineDoubleWidth();
}

void TESCP::verticalTab()
{
    endOneLineDoubleWidth();
    const std::int64_t top = page_.topLimit();
    const int bottom = page_.bottomLimit();
    for (int i = 0; i < verticalTabCount_; ++i) {
        const int target = saturate(top + verticalTabs_[i]);
        if (target > bottom) break;
        if (target > page_.y()) {
            page_.setY(target);
            break;
        }
    }
    trace_.command("VertTab %d", page_.y());
}

void TESCP::formFeed()
{
    endOneLineDoubleWidth();
    page_.endPage();
}

void TESCP::carriageReturn()
{
    trace_.lineEnd();
    page_.setX(page_.leftLimit());
    endOneLineDoubleWidth();
}

void TESCP::endOneLineDoubleWidth()
{
    if (!oneLineDoubleWidth_) return;
    oneLineDoubleWidth_ = false;
    page_.setDoubleWidth(false);
}

void TESCP::doubleWidthOneLine()
{
    if (multipoint_) return;
    oneLineDoubleWidth_ = true;
    page_.setDoubleWidth(true);
    page_.setHMI(0);
}

void TESCP::cancelDoubleWidth()
{
    if (multipoint_) return;
    page_.setDoubleWidth(false);
    oneLineDoubleWidth_ = false;
    page_.setHMI(0);
}

void TESCP::setCondensed(bool on)
{
    trace_.command("SetCondensed %d", on ? 1 : 0);
    page_.setHMI(0);
    if (on && (multipoint_ || isFifteenPitch(page_.pitch()))) return;
    page_.setCondensed(on);
}

void TESCP::leaveMultipoint()
{
    if (multipoint_) {
        page_.setPointSize(kStandardPointSize);
        page_.setPitch(kStandardPitch);
        page_.setProportional(false);
    }
    multipoint_ = false;
}

// --- ESC commands ---

void TESCP::escape()
{
    const std::uint8_t command = data_.readByte();
    switch (command) {
    case SOH:
        jobControlMode();
        return;
    case SO:
        doubleWidthOneLine();
        return;
    case SI:
        setCondensed(true);
        return;
    case EM:
        paperControl();
        return;
    case ' ':
        intercharacterSpace();
        return;
    case '!':
        masterSelect();
        return;
    case '#':
        trace_.notImplemented("Cancel MSB control");
        return;
    case '$':
        absoluteHorizontal();
        return;
    case '%':
        selectUserSet();
        return;
    case '&':
        defineUserCharacters();
        return;
    case '(':
        if (ninePin()) {
            // ESC/P2 only: a 9-pin printer acts on none of them.
            data_.readByte();
            data_.skip(data_.readWord());
            trace_.ignored("ESC ( (not on 9-pin printers)");
            return;
        }
        extended();
        return;
    case '*':
        bitImage();
        return;
    case '+':
        if (ninePin()) {
            data_.readByte();
            trace_.ignored("SetLineSpacing n/360 (not on 9-pin printers)");
            return;
        }
        lineSpacing(data_.readByte(), 360);
        return;
    case '-':
        underline();
        return;
    // Raster bands out of graphics mode: printers take them, and their data
    // must never print as text.
    case '.':
        rasterGraphics();
        return;
    case '/':
        data_.readByte();
        trace_.notImplemented("Select vertical tab channel");
        return;
    case '0':
        fractionLineSpacing(1, 8);
        return;
    case '1':
        fractionLineSpacing(7, 72);
        return;
    case '2':
        fractionLineSpacing(1, 6);
        return;
    case '3':
        lineSpacing(data_.readByte(), fineLineUnit());
        return;
    case '4':
        trace_.command("SetItalic %d", 1);
        page_.setItalic(true);
        return;
    case '5':
        trace_.command("SetItalic %d", 0);
        page_.setItalic(false);
        return;
    case '6':
    case '7':
        return;
    case '8':
        trace_.notImplemented("Disable paper out detector");
        return;
    case '9':
        trace_.notImplemented("Enable paper out detector");
        return;
    case ':':
        copyRomToRam();
        return;
    case '<':
        trace_.notImplemented("Unidirectional mode (one line)");
        return;
    case '=':
        trace_.notImplemented("Set MSB to 0");
        return;
    case '>':
        trace_.notImplemented("Set MSB to 1");
        return;
    case '?':
        reassignBitImage();
        return;
    case '@':
        reset(true);
        return;
    case 'A':
        lineSpacing(data_.readByte(), ninePin() ? 72 : 60);
        return;
    case 'B':
        verticalTabs();
        return;
    case 'C':
        pageLengthLines();
        return;
    case 'D':
        horizontalTabs();
        return;
    case 'E':
        trace_.command("SetBold %d", 1);
        page_.setBold(true);
        return;
    case 'F':
        trace_.command("SetBold %d", 0);
        page_.setBold(false);
        return;
    case 'G':
        trace_.command("SetDoubleStrike %d", 1);
        page_.setBold(true);
        return;
    case 'H':
        trace_.command("SetDoubleStrike %d", 0);
        page_.setBold(false);
        return;
    case 'I':
        controlCodes();
        return;
    case 'J':
        advanceVertical();
        return;
    case 'K':
    case 'L':
    case 'Y':
    case 'Z':
        legacyBitImage(command);
        return;
    case 'M':
        selectPitch(12);
        return;
    case 'N':
        bottomMargin();
        return;
    case 'O':
        cancelBottomMargin();
        return;
    case 'P':
        selectPitch(10);
        return;
    case 'Q':
        rightMargin();
        return;
    case 'R':
        internationalSet();
        return;
    case 'S':
        selectScript();
        return;
    case 'T':
        trace_.command("CancelScript");
        page_.setScript(Script::None);
        return;
    case 'U':
        data_.readByte();
        trace_.ignored("Turn unidirectional mode on/off");
        return;
    case 'W':
        doubleWidth();
        return;
    case 'X':
        if (ninePin()) {
            data_.skip(3);
            trace_.ignored("SetFont (not on 9-pin printers)");
            return;
        }
        scalableFont();
        return;
    case '\\':
        relativeHorizontal();
        return;
    case '^':
        ninePinGraphics();
        return;
    case '_':
        ruledLine();
        return;
    case 'a':
        data_.readByte();
        trace_.ignored("Select justification");
        return;
    case 'b':
        vfuChannel();
        return;
    case 'c':
        if (ninePin()) {
            data_.skip(2);
            trace_.ignored("SetHMI (not on 9-pin printers)");
            return;
        }
        hmi();
        return;
    case 'e':
        data_.skip(2);
        trace_.notImplemented("Set fixed tab increment");
        return;
    case 'f':
        skipSpacesOrLines();
        return;
    case 'g':
        selectPitch(15);
        return;
    case 'i':
        data_.readByte();
        trace_.ignored("Select immediate print mode");
        return;
    case 'j':
        reverseFeed();
        return;
    case 'k':
        typeface();
        return;
    case 'l':
        leftMargin();
        return;
    case 'm':
        data_.readByte();
        trace_.notImplemented("Select printing of upper control codes");
        return;
    case 'p':
        proportionalMode();
        return;
    case 'q':
        printStyle();
        return;
    case 'r':
        colour();
        return;
    case 's':
        data_.readByte();
        trace_.notImplemented("Select low-speed mode");
        return;
    case 't':
        selectSlot();
        return;
    case 'w':
        doubleHeight();
        return;
    case 'x':
        quality();
        return;
    default:
        trace_.notImplemented("Unknown ESC code (" + std::to_string(command) + ")");
        return;
    }
}

void TESCP::jobControlMode()
{
    trace_.command("Enter job control mode");
    // Until ESC "@"; ESC ESC "@" ends it as well. No reset follows.
    for (;;) {
        if (data_.readByte() != ESC) continue;
        std::uint8_t next = data_.readByte();
        while (next == ESC) next = data_.readByte();
        if (next == '@') break;
    }
    trace_.command("Exit job control mode");
}

void TESCP::paperControl()
{
    const std::uint8_t n = data_.readByte();
    trace_.command("Control paper loading/ejecting %d", n);
    const int value = digitValue(n);
    if (value == 0) {
        trace_.command("Cut-sheet control command ignored");
    } else if (value <= kLastBinCommand) {
        page_.selectBin(value - 1);
    } else if (n == 'L') {
        page_.setOrientation(true);
    } else if (n == 'P') {
        page_.setOrientation(false);
    } else if (n == 'R') {
        page_.endPage();
    } else {
        illegal("Control paper loading/ejecting");
    }
}

void TESCP::intercharacterSpace()
{
    const int n = data_.readByte();
    trace_.command("SetIntSpace %d", n);
    if (multipoint_) return;
    page_.setHMI(0);
    page_.setExtraSpace(inchFractionToTwips(n, draft_ || ninePin() ? 120 : 180));
}

void TESCP::masterSelect()
{
    const int n = data_.readByte();
    trace_.command("MasterSelect %d", n);
    leaveMultipoint();
    page_.setPointSize(kStandardPointSize);
    page_.setPitch((n & 0x01) != 0 ? 12 : 10);
    page_.setProportional((n & 0x02) != 0);
    // As SI / DC2: the HMI goes, and condensed stays refused at 15 cpi.
    page_.setHMI(0);
    page_.setCondensed((n & 0x04) != 0);
    page_.setBold((n & 0x08) != 0);
    // Double strike is drawn as bold and comes last, so it decides.
    page_.setBold((n & 0x10) != 0);
    page_.setDoubleWidth((n & 0x20) != 0);
    page_.setItalic((n & 0x40) != 0);
    page_.setUnderline((n & 0x80) != 0 ? ScoreStyle::Single : ScoreStyle::None);
}

void TESCP::absoluteHorizontal()
{
    const int n = data_.readWord();
    trace_.command("SetAbsHorPos %d", n);
    page_.setX(unitsToTwips(n, absoluteHorizontalUnit_));
}

void TESCP::lineSpacing(int n, int perInch)
{
    trace_.command("SetLineSpacing %d %d", n, perInch);
    page_.setLineSpacing(inchFractionToTwips(n, perInch));
}

void TESCP::fractionLineSpacing(int numerator, int denominator)
{
    trace_.command("SelLineSpacing %d/%d", numerator, denominator);
    page_.setLineSpacing(inchFractionToTwips(numerator, denominator));
}

void TESCP::underline()
{
    const std::uint8_t n = data_.readByte();
    trace_.command("SetUnderline %d", n);
    const int value = digitValue(n);
    if (value == 0)
        page_.setUnderline(ScoreStyle::None);
    else if (value == 1)
        page_.setUnderline(ScoreStyle::Single);
}

void TESCP::verticalTabs()
{
    verticalTabCount_ = 0;
    const std::int64_t spacing = page_.lineSpacing();
    // Values past the sixteenth are read up to the NUL and dropped.
    for (int n = data_.readByte(); n != 0; n = data_.readByte()) {
        if (verticalTabCount_ < kVerticalTabCapacity) verticalTabs_[verticalTabCount_++] = saturate(n * spacing);
    }
    trace_.command("SetVertTabs %d", verticalTabCount_);
}

void TESCP::pageLengthLines()
{
    const int n = data_.readByte();
    if (n > 0) {
        if (n > kMaxPageLengthLines) illegal("SetPageLengthLine n");
        trace_.command("SetPageLength %d lines", n);
        setPageLength(saturate(static_cast<std::int64_t>(n) * page_.lineSpacing()));
        return;
    }
    const int inches = data_.readByte();
    trace_.command("SetPageLength %d inc", inches);
    setPageLength(inches * kTwipsPerInchEscp);
}

void TESCP::setPageLength(int twips)
{
    page_.setPageLength(twips);
    formBottom_ = page_.bottomLimit();
}

void TESCP::horizontalTabs()
{
    const int unit = page_.proportional() ? roundEven(kTwipsPerInchEscp * page_.pointSize() / 105) : page_.cellWidth();
    horizontalTabCount_ = 0;
    int previous = 0;
    int n = data_.readByte();
    while (n != 0 && n >= previous && horizontalTabCount_ < kHorizontalTabCapacity) {
        horizontalTabs_[horizontalTabCount_++] = saturate(static_cast<std::int64_t>(n) * unit);
        previous = n;
        n = data_.readByte();
    }
    // A 33rd ascending value is taken with the byte after it and not stored.
    if (horizontalTabCount_ == kHorizontalTabCapacity && n != 0 && n >= previous) data_.readByte();
    trace_.command("SetHorTabs %d", horizontalTabCount_);
}

// ESC b: the stops of a VFU channel, up to a NUL. Channels are not kept,
// but the list must not print.
void TESCP::vfuChannel()
{
    data_.readByte();
    while (data_.readByte() != NUL) {}
    trace_.ignored("Set vertical tabs in VFU channels");
}

void TESCP::skipSpacesOrLines()
{
    const int m = data_.readByte();
    const int n = data_.readByte();
    trace_.command("HorVertSkip %d %d", m, n);
    if (m == 0) {
        // Blank columns: as many spaces would move, wrapping included.
        for (int i = 0; i < n; ++i) page_.printCharacter(u' ');
    } else if (m == 1) {
        for (int i = 0; i < n; ++i) lineFeed();
    } else {
        illegal("HorVertSkip");
    }
}

void TESCP::reverseFeed()
{
    const int n = data_.readByte();
    trace_.command("ReverseFeed %d", n);
    // The paper cannot go back past the top of the form.
    const std::int64_t y = static_cast<std::int64_t>(page_.y()) - inchFractionToTwips(n, fineLineUnit());
    page_.setY(static_cast<int>(std::max<std::int64_t>(y, page_.topLimit())));
}

void TESCP::controlCodes()
{
    const int n = data_.readByte();
    if (n > 1) illegal("EnableControlCodes");
    trace_.command("EnableControlCodes %d", n);
    controlCodes_ = n == 1;
}

void TESCP::advanceVertical()
{
    const int n = data_.readByte();
    trace_.command("AdvanceVert %d", n);
    page_.setY(saturate(static_cast<std::int64_t>(page_.y()) + inchFractionToTwips(n, fineLineUnit())));
}

void TESCP::selectPitch(int cpi)
{
    trace_.command("SetFontPC %.2f %d", kStandardPointSize, cpi);
    leaveMultipoint();
    page_.setPointSize(kStandardPointSize);
    page_.setPitch(cpi);
}

int TESCP::marginUnit() const { return page_.proportional() ? kProportionalColumnTwips : page_.cellWidth(); }

void TESCP::bottomMargin()
{
    const int n = data_.readByte();
    if (n > kMaxBottomMarginLines) illegal("SetBottomMargin n");
    trace_.command("SetBottomMargin %d", n);
    // n lines are kept free at the foot of the form (the perforation skip).
    const std::int64_t formEnd = formBottom_ > 0 ? formBottom_ : page_.pageHeight();
    page_.setBottomLimit(saturate(formEnd - static_cast<std::int64_t>(n) * page_.lineSpacing()));
    page_.cancelTopLimit();
}

void TESCP::cancelBottomMargin()
{
    trace_.command("CancelBottomMargin");
    if (formBottom_ > 0)
        page_.setBottomLimit(formBottom_);
    else
        page_.cancelBottomLimit();
}

void TESCP::rightMargin()
{
    const int n = data_.readByte();
    trace_.command("SetRightMargin %d", n);
    page_.setRightLimit(saturate(static_cast<std::int64_t>(n) * marginUnit()));
}

void TESCP::leftMargin()
{
    const int n = data_.readByte();
    trace_.command("SetLeftMargin %d", n);
    page_.setLeftLimit(saturate(static_cast<std::int64_t>(n) * marginUnit()));
    page_.setX(page_.leftLimit());
}

void TESCP::internationalSet()
{
    int n = data_.readByte();
    trace_.command("SelIntCharSet %d", n);
    if (n == kDefaultInternationalAlias) n = kLastInternationalSet;
    if (n > kLastInternationalSet) illegal("SelIntCharSet");
    applyInternationalSet(slots_[currentSlot_], static_cast<unsigned>(n));
}

void TESCP::selectScript()
{
    const std::uint8_t n = data_.readByte();
    const int value = digitValue(n);
    if (value > 1) illegal("SelectScript");
    trace_.command("SelectScript %d", value);
    page_.setScript(value == 0 ? Script::Super : Script::Sub);
}

void TESCP::doubleWidth()
{
    const std::uint8_t n = data_.readByte();
    trace_.command("SetDoubleWidth %d", n);
    if (multipoint_) return;
    if (n != 0 && n != '0') {
        page_.setDoubleWidth(true);
    } else {
        page_.setDoubleWidth(false);
        oneLineDoubleWidth_ = false;
    }
    page_.setHMI(0);
}

void TESCP::scalableFont()
{
    const int m = data_.readByte();
    const int n = data_.readWord();
    trace_.command("SetFont %d %d", m, n);
    if (m > 1 && m < kFirstMultipointPitch) illegal("SetFont m");
    multipoint_ = true;
    if (m == 1) {
        page_.setProportional(true);
    } else if (m >= kFirstMultipointPitch) {
        page_.setProportional(false);
        page_.setPitch(static_cast<double>(kMultipointPitchBase) / m);
    }
    if (n != 0) page_.setPointSize(n / 2.0);
}

void TESCP::relativeHorizontal()
{
    const int n = data_.readSignedWord();
    trace_.command("SetRelHorPos %d", n);
    int unit = relativeHorizontalUnit_;
    if (defaultUnits_) unit = draft_ || ninePin() ? kEscpBase / 120 : kEscpBase / 180;
    const std::int64_t x = page_.getX();
    // round(x + n × unit × 1440 / 7200), the sum rounded as a whole.
    const std::int64_t target =
        divRoundEven(x * kEscpBase + static_cast<std::int64_t>(n) * unit * kTwipsPerInchEscp, kEscpBase);
    if (target > 0 && target <= page_.rightLimit()) page_.setX(static_cast<int>(target));
}

void TESCP::ruledLine()
{
    const int style = data_.readByte();
    const int x = data_.readWord();
    const int y = data_.readWord();
    const int direction = data_.readByte();
    const int thickness = data_.readWord();
    const int length = data_.readWord();
    trace_.command("PrintRuledLine %d %dx%d %d %d %d", style, x, y, direction, thickness, length);
    page_.startPage();
    if (!page_.pageOutput()) return;
    const RuleStyle pen =
        style <= static_cast<int>(RuleStyle::DashDotDot) ? static_cast<RuleStyle>(style) : RuleStyle::Solid;
    const int x0 = unitsToTwips(x, pageUnit_);
    const int y0 = unitsToTwips(y, pageUnit_);
    const int along = unitsToTwips(length, pageUnit_);
    // One line per twip of thickness; copies beyond the page would not show.
    int copies = unitsToTwips(thickness, pageUnit_);
    // Positions and lengths can each reach the coordinate limit, so their sums saturate.
    auto plus = [](int a, int b) { return saturate(static_cast<std::int64_t>(a) + b); };
    if (direction == 0) {
        copies = std::min(copies, page_.pageHeight());
        for (int i = 0; i < copies; ++i) page_.drawLine(x0, plus(y0, i), plus(x0, along), plus(y0, i), pen);
    } else if (direction == 1) {
        copies = std::min(copies, page_.pageWidth());
        for (int i = 0; i < copies; ++i) page_.drawLine(plus(x0, i), y0, plus(x0, i), plus(y0, along), pen);
    }
}

void TESCP::hmi()
{
    const int n = data_.readWord();
    if (n > kMaxHmi) illegal("SetHMI " + std::to_string(n));
    trace_.command("SetHMI %d", n);
    page_.setHMI(inchFractionToTwips(n, 360));
    page_.setExtraSpace(0);
}

void TESCP::typeface()
{
    const int n = data_.readByte();
    trace_.command("SelTypeFace %d", n);
    page_.setTypeface(n <= kMaxTypeface ? n : 0);
}

void TESCP::proportionalMode()
{
    const int value = digitValue(data_.readByte());
    if (value > 1) illegal("SetPropMode");
    trace_.command("SetPropMode %d", value);
    leaveMultipoint();
    if (value == 0) {
        page_.setProportional(false);
    } else {
        draft_ = false;
        page_.setProportional(true);
    }
    page_.setHMI(0);
}

void TESCP::printStyle()
{
    const int n = data_.readByte();
    if (n > 3) illegal("SetStyle");
    trace_.command("SetStyle %d", n);
    page_.setOutline((n & 1) != 0);
    page_.setShadow((n & 2) != 0);
}

void TESCP::colour()
{
    const int n = data_.readByte();
    if (n >= static_cast<int>(kColours.size())) illegal("SetColour");
    trace_.command("SetColour %d", n);
    setColourValue(kColours[n]);
}

void TESCP::selectSlot()
{
    const int n = digitValue(data_.readByte());
    if (n >= kSlotCount) illegal("SelCharTable n");
    trace_.command("SelCharTable %d", n);
    currentSlot_ = n;
}

void TESCP::doubleHeight()
{
    const std::uint8_t n = data_.readByte();
    if (multipoint_) {
        trace_.command("SetDoubleHeight %d", n);
        return;
    }
    const int value = digitValue(n);
    if (value > 1) illegal("SetDoubleHeight");
    trace_.command("SetDoubleHeight %d", value);
    page_.setDoubleHeight(value == 1);
}

void TESCP::quality()
{
    const int n = data_.readByte();
    trace_.command("SelQuality %d", n);
    draft_ = n % 2 == 0;
}

// --- user-defined characters ---

namespace {
constexpr int kLetterQualityDpi = 360;
constexpr int kDraftDpi = 120;
constexpr int kTwentyFourPinRowDpi = 180;
constexpr int kTwentyFourPinDots = 24;
constexpr int kNinePinColumns = 11;
constexpr int kNinePinRowDpi = 72;
constexpr int kNinePinMatrixDots = 9;  // eight pins, one row lower for descenders
}  // namespace

// ESC & NUL n m, then one definition per code from n to m. The data is read
// by the lengths the definitions give, so none of it can print or act.
void TESCP::defineUserCharacters()
{
    const int zero = data_.readByte();
    const int first = data_.readByte();
    const int last = data_.readByte();
    trace_.command("DefUserDefSet %d %d %d", zero, first, last);
    for (int code = first; code <= last; ++code) {
        UserCharacter glyph;
        if (pins_ == 9) {
            // Attribute byte: bit 7 clear lowers the character by a dot (a
            // descender); its other bits give proportional columns, which
            // this model leaves at the full matrix.
            const int attribute = data_.readByte();
            const int row = (attribute & 0x80) != 0 ? 0 : 1;
            glyph.dots = makeBitmap(kNinePinColumns, kNinePinMatrixDots);
            for (int column = 0; column < kNinePinColumns; ++column) {
                const std::uint8_t bits = data_.readByte();
                for (int dot = 0; dot < 8; ++dot)
                    if (bits & (0x80 >> dot)) glyph.dots.setDot(column, row + dot);
            }
            glyph.rightSpace = 1;  // the twelfth column of the cell
            glyph.horizontalDpi = kDraftDpi;
            glyph.verticalDpi = kNinePinRowDpi;
        } else {
            const int leftSpace = data_.readByte();
            const int columns = data_.readByte();
            const int rightSpace = data_.readByte();
            glyph.dots = makeBitmap(std::max(columns, 1), kTwentyFourPinDots);
            for (int column = 0; column < columns; ++column) {
                for (int row = 0; row < kTwentyFourPinDots / 8; ++row) {
                    const std::uint8_t bits = data_.readByte();
                    for (int dot = 0; dot < 8; ++dot)
                        if (bits & (0x80 >> dot)) glyph.dots.setDot(column, row * 8 + dot);
                }
            }
            glyph.leftSpace = leftSpace;
            glyph.rightSpace = rightSpace;
            glyph.horizontalDpi = draft_ ? kDraftDpi : kLetterQualityDpi;
            glyph.verticalDpi = kTwentyFourPinRowDpi;
        }
        glyph.defined = true;
        if (code < static_cast<int>(userCharacters_.size()))
            userCharacters_[static_cast<std::size_t>(code)] = std::move(glyph);
    }
}

void TESCP::selectUserSet()
{
    const int n = digitValue(data_.readByte());
    trace_.command("SelUserDefSet %d", n);
    userSet_ = (n & 1) != 0;
}

// ESC : NUL n m. The RAM set now holds copies of the ROM characters, and a
// copy prints as the ROM character it is.
void TESCP::copyRomToRam()
{
    data_.skip(3);
    trace_.command("Copy ROM to RAM");
    for (UserCharacter& glyph : userCharacters_) glyph = UserCharacter{};
}

void TESCP::printUserCharacter(std::uint8_t b)
{
    const UserCharacter& glyph = userCharacters_[b];
    const int totalDots = glyph.leftSpace + glyph.dots.width + glyph.rightSpace;
    // The dots keep their size: a fixed-pitch character takes its cell, a
    // proportional one the columns it defines.
    const int horizontalDpi = glyph.horizontalDpi;
    const int advance = page_.proportional() ? inchFractionToTwips(totalDots, horizontalDpi) : page_.cellWidth();
    int x0 = page_.getX();
    if (static_cast<std::int64_t>(x0) + advance >= page_.rightLimit()) {
        page_.setX(page_.rightLimit());
        x0 = page_.getX();  // the next line, as a character that does not fit
    }
    page_.setX(x0 + inchFractionToTwips(glyph.leftSpace, horizontalDpi));
    page_.placeBitmap(glyph.dots, horizontalDpi, glyph.verticalDpi, false);
    page_.setX(saturate(static_cast<std::int64_t>(x0) + advance));
    lastAdvance_ = advance;
}

}  // namespace zemprint
