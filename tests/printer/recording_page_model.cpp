#include "recording_page_model.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "printer/data/prop_widths.h"

namespace zemprint {

namespace {
constexpr int kTwipsPerInch = 1440;
constexpr int kMaxPageLength = 31680;
constexpr char16_t kSpace = 32;

int roundEven(double value) { return static_cast<int>(std::nearbyint(value)); }

std::string number(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}
}  // namespace

std::u16string RecordingPageModel::Page::text() const
{
    std::u16string result;
    for (const PrintedChar& printed : chars) result += printed.c;
    return result;
}

RecordingPageModel::RecordingPageModel(int pageWidth, int pageHeight) : pageWidth_(pageWidth), pageHeight_(pageHeight)
{
    x_ = leftLimit();
    y_ = topLimit();
}

void RecordingPageModel::log(const std::string& call)
{
    if (record) calls.push_back(call);
}

std::vector<std::string> RecordingPageModel::callsAfterReset(const std::string& prefix) const
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (calls[i].rfind("reset", 0) == 0) start = i + 1;
    std::vector<std::string> result;
    for (std::size_t i = start; i < calls.size(); ++i)
        if (calls[i].rfind(prefix, 0) == 0) result.push_back(calls[i]);
    return result;
}

int RecordingPageModel::advance(char16_t c) const
{
    if (!proportional_) return cellWidth();
    const int value = propWidthForTypeface(typeface_, c);
    int a = static_cast<int>(roundEven(value * pointSize_ / 10.5) * kTwipsPerInch / 360);
    if (script_ != Script::None) a = roundEven(2.0 * a / 3);
    if (condensed_) a = roundEven(a / 2.0);
    if (doubleWidth_) a *= 2;
    return a;
}

void RecordingPageModel::printCharacter(char16_t c)
{
    previousX_ = getX();
    previousY_ = y_;
    const int a = advance(c);
    int x0 = getX();
    x_ = x0 + a;
    if (getX() == leftLimit()) {
        x0 = getX();
        x_ = x0 + a;
    }
    if (bottomLimit() < y_ + kBaseline) {
        endPage();
        x0 = getX();
        x_ = x0 + a;
    }
    if (c != kSpace) startPage();
    if (record) {
        char buffer[48];
        if (c >= 0x21 && c < 0x7F)
            std::snprintf(buffer, sizeof buffer, "print %c %d,%d", static_cast<char>(c), x0, y_);
        else
            std::snprintf(buffer, sizeof buffer, "print U+%04X %d,%d", static_cast<unsigned>(c), x0, y_);
        calls.push_back(buffer);
    }
    if (pageStarted_) pages.back().chars.push_back({c, x0, y_});
}

int RecordingPageModel::getX()
{
    if (x_ >= rightLimit()) {
        x_ = leftLimit();
        setY(y_ + lineSpacing_);
    }
    return x_;
}

void RecordingPageModel::setX(int x)
{
    log("setX " + std::to_string(x));
    x_ = x;
}

void RecordingPageModel::setY(int y)
{
    log("setY " + std::to_string(y));
    if (y >= bottomLimit())
        endPage();
    else
        y_ = y;
}

void RecordingPageModel::startPage()
{
    if (pageStarted_) return;
    pageStarted_ = true;
    pages.emplace_back();
    log("page " + std::to_string(pages.size()));
}

void RecordingPageModel::endPage()
{
    log("endPage");
    finishPage();
}

void RecordingPageModel::finishPage()
{
    x_ = leftLimit();
    y_ = topLimit();
    pageStarted_ = false;
}

void RecordingPageModel::reset(bool withPageEnd)
{
    log(withPageEnd ? "reset 1" : "reset 0");
    typeface_ = 0;
    pointSize_ = 10.5;
    pitch_ = 10;
    pitchWidth_ = 144;
    hmi_ = 0;
    extraSpace_ = 0;
    lineSpacing_ = 240;
    colour_ = Rgb{};
    proportional_ = doubleWidth_ = condensed_ = bold_ = false;
    left_ = top_ = right_ = bottom_ = -1;
    if (withPageEnd) finishPage();
}

void RecordingPageModel::setTypeface(int typeface)
{
    log("setTypeface " + std::to_string(typeface));
    typeface_ = typeface;
}

void RecordingPageModel::setPointSize(double points)
{
    log("setPointSize " + number(points));
    pointSize_ = points;
}

void RecordingPageModel::setPitch(double cpi)
{
    log("setPitch " + number(cpi));
    pitch_ = cpi;
    pitchWidth_ = roundEven(kTwipsPerInch / cpi);
    hmi_ = 0;
}

void RecordingPageModel::setHMI(int twips)
{
    log("setHMI " + std::to_string(twips));
    hmi_ = twips;
}

void RecordingPageModel::setExtraSpace(int twips)
{
    log("setExtraSpace " + std::to_string(twips));
    extraSpace_ = twips;
}

void RecordingPageModel::setDoubleWidth(bool on)
{
    log(std::string("setDoubleWidth ") + (on ? "1" : "0"));
    doubleWidth_ = on;
}

void RecordingPageModel::setDoubleHeight(bool on) { log(std::string("setDoubleHeight ") + (on ? "1" : "0")); }

void RecordingPageModel::setScript(Script script)
{
    log("setScript " + std::to_string(static_cast<int>(script)));
    script_ = script;
}

void RecordingPageModel::setCondensed(bool on)
{
    log(std::string("setCondensed ") + (on ? "1" : "0"));
    condensed_ = on;
    if (on) {
        if (std::fabs(pitch_ - 10) < 1e-7)
            pitchWidth_ = 84;
        else if (std::fabs(pitch_ - 12) < 1e-7)
            pitchWidth_ = 72;
    } else {
        pitchWidth_ = roundEven(kTwipsPerInch / pitch_);
    }
}

void RecordingPageModel::setBold(bool on)
{
    log(std::string("setBold ") + (on ? "1" : "0"));
    bold_ = on;
}

void RecordingPageModel::setItalic(bool on) { log(std::string("setItalic ") + (on ? "1" : "0")); }
void RecordingPageModel::setOutline(bool on) { log(std::string("setOutline ") + (on ? "1" : "0")); }
void RecordingPageModel::setShadow(bool on) { log(std::string("setShadow ") + (on ? "1" : "0")); }

void RecordingPageModel::setProportional(bool on)
{
    log(std::string("setProportional ") + (on ? "1" : "0"));
    proportional_ = on;
}

void RecordingPageModel::setUnderline(ScoreStyle style)
{
    log("setUnderline " + std::to_string(static_cast<int>(style)));
}

void RecordingPageModel::setStrikeThrough(ScoreStyle style)
{
    log("setStrikeThrough " + std::to_string(static_cast<int>(style)));
}

void RecordingPageModel::setOverline(ScoreStyle style)
{
    log("setOverline " + std::to_string(static_cast<int>(style)));
}

void RecordingPageModel::setColour(Rgb colour)
{
    log("setColour " + std::to_string(colour.red) + "," + std::to_string(colour.green) + "," +
        std::to_string(colour.blue));
    colour_ = colour;
}

int RecordingPageModel::cellWidth() const
{
    const int width = (hmi_ != 0 ? hmi_ : pitchWidth_) + extraSpace_;
    return doubleWidth_ ? 2 * width : width;
}

void RecordingPageModel::setLineSpacing(int twips)
{
    log("setLineSpacing " + std::to_string(twips));
    lineSpacing_ = twips;
}

void RecordingPageModel::setTopLimit(int twips)
{
    if (twips >= bottomLimit()) throw EIllegalParameter("SetTopMargin");
    log("setTopLimit " + std::to_string(twips));
    top_ = twips;
}

void RecordingPageModel::setBottomLimit(int twips)
{
    if (topLimit() >= twips) throw EIllegalParameter("SetBottomMargin");
    bottom_ = twips > pageHeight_ ? pageHeight_ : twips;
    log("setBottomLimit " + std::to_string(bottom_));
}

void RecordingPageModel::setLeftLimit(int twips)
{
    if (twips >= rightLimit()) throw EIllegalParameter("SetLeftMargin");
    log("setLeftLimit " + std::to_string(twips));
    left_ = twips;
}

void RecordingPageModel::setRightLimit(int twips)
{
    if (leftLimit() >= twips) throw EIllegalParameter("SetRightMargin");
    right_ = twips > pageWidth_ ? pageWidth_ : twips;
    log("setRightLimit " + std::to_string(right_));
}

void RecordingPageModel::cancelTopLimit()
{
    log("cancelTopLimit");
    top_ = -1;
}

void RecordingPageModel::cancelBottomLimit()
{
    log("cancelBottomLimit");
    bottom_ = -1;
}

void RecordingPageModel::setPageLength(int twips)
{
    if (twips < 1 || twips > kMaxPageLength) throw EIllegalParameter("SetVirtualPageLength");
    log("setPageLength " + std::to_string(twips));
    top_ = -1;
    setBottomLimit(topLimit() + twips);
}

void RecordingPageModel::placeBitmap(const MonoBitmap& bitmap, int horizontalDpi, int verticalDpi, bool advance)
{
    startPage();
    log("bitmap " + std::to_string(bitmap.width) + "x" + std::to_string(bitmap.height) + " " +
        std::to_string(horizontalDpi) + "/" + std::to_string(verticalDpi) + (advance ? " advance" : ""));
    if (record) bitmaps.push_back({bitmap, x_, y_, horizontalDpi, verticalDpi, advance, colour_});
    if (advance)
        x_ = static_cast<int>(std::min<double>(x_ + std::trunc(bitmap.width * 1440.0 / horizontalDpi + 0.9), INT_MAX));
}

void RecordingPageModel::drawLine(int x1, int y1, int x2, int y2, RuleStyle style)
{
    log("line " + std::to_string(x1) + "," + std::to_string(y1) + "-" + std::to_string(x2) + "," + std::to_string(y2) +
        " " + std::to_string(static_cast<int>(style)));
}

void RecordingPageModel::selectBin(int index) { log("selectBin " + std::to_string(index)); }

void RecordingPageModel::setOrientation(bool landscape)
{
    log(std::string("setOrientation ") + (landscape ? "1" : "0"));
}

}  // namespace zemprint
