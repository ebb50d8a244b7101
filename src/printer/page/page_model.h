// PageModel: what the ESC/P interpreter asks of the page beneath it.
//
// The interpreter knows nothing about fonts, devices or Qt; it moves the print
// position, changes character attributes, sets the page limits and hands over
// characters, bitmaps and ruled lines through this interface. TPrinter is the
// real page model; tests and the fuzzer use a recording one.
//
// Units: every coordinate and length is in twips (1/1440 inch), measured from
// the top-left corner of the printable area, x to the right, y downwards.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zemprint {

// A limit setter refused its value. The interpreter catches it, writes
// "Illegal parameter: " + name() and abandons the command it was running.
class EIllegalParameter {
public:
    explicit EIllegalParameter(std::string name) : name_(std::move(name)) {}
    const std::string& name() const { return name_; }

private:
    std::string name_;
};

// Styles of the three score lines (underline, strike-through, overline).
enum class ScoreStyle : std::uint8_t {
    None = 0,
    Single = 1,
    Double = 2,
    SingleBroken = 3,
    DoubleBroken = 4,
};

// Pen styles of ruled lines.
enum class RuleStyle : std::uint8_t {
    Solid = 0,
    Dotted = 1,
    Dashed = 2,
    DashDot = 3,
    DashDotDot = 4,
};

enum class Script : std::uint8_t {
    None = 0,
    Super = 1,
    Sub = 2,
};

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

// A monochrome image in dots. A set bit is a printed dot; the most significant
// bit of a byte is the leftmost dot; each row takes stride bytes.
struct MonoBitmap {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> bits;

    MonoBitmap() = default;
    MonoBitmap(int w, int h) : width(w), height(h), stride((w + 7) / 8), bits(static_cast<std::size_t>(stride) * h) {}
    bool dot(int x, int y) const { return (bits[static_cast<std::size_t>(y) * stride + x / 8] >> (7 - x % 8)) & 1; }
    void setDot(int x, int y) { bits[static_cast<std::size_t>(y) * stride + x / 8] |= std::uint8_t(0x80 >> (x % 8)); }
};

class PageModel {
public:
    virtual ~PageModel() = default;

    // --- Characters, positions, pages ---

    // Prints one character at the print position and advances it (may wrap
    // to the next line and may end the page first).
    virtual void printCharacter(char16_t c) = 0;
    // The horizontal position; at or past the right limit it first wraps to
    // the left limit of the next line.
    virtual int getX() = 0;
    // No range check.
    virtual void setX(int x) = 0;
    // Vertical position of the current line's top.
    virtual int y() const = 0;
    // At or past the bottom limit the page ends instead.
    virtual void setY(int y) = 0;
    // Where the last printed character started (for BS).
    virtual int previousX() const = 0;
    virtual int previousY() const = 0;
    // The advance printCharacter(c) would take with the attributes now in force.
    virtual int characterAdvance(char16_t c) const = 0;

    // Begins the page if it has not been begun (before anything visible).
    virtual void startPage() = 0;
    // Flushes score lines; position to the top-left limits; ends a begun page.
    virtual void endPage() = 0;
    // True when the current page is output (single-page selection 0 or equal
    // to the page count).
    virtual bool pageOutput() const = 0;
    // Pages begun so far.
    virtual int pageCount() const = 0;
    // 0: every page is output; n: only page n.
    virtual int singlePage() const = 0;

    // Attributes to their defaults, limits to "not set"; with page end the
    // current page ends as well.
    virtual void reset(bool withPageEnd) = 0;

    // --- Character attributes ---

    virtual void setTypeface(int typeface) = 0;
    virtual void setPointSize(double points) = 0;
    virtual double pointSize() const = 0;
    // Characters per inch; also cancels the HMI.
    virtual void setPitch(double cpi) = 0;
    virtual double pitch() const = 0;
    // Fixed advance in twips; 0 cancels it.
    virtual void setHMI(int twips) = 0;
    virtual void setExtraSpace(int twips) = 0;
    virtual void setDoubleWidth(bool on) = 0;
    virtual void setDoubleHeight(bool on) = 0;
    virtual void setScript(Script script) = 0;
    virtual void setCondensed(bool on) = 0;
    virtual void setBold(bool on) = 0;
    virtual void setItalic(bool on) = 0;
    virtual void setOutline(bool on) = 0;
    virtual void setShadow(bool on) = 0;
    virtual void setProportional(bool on) = 0;
    virtual bool proportional() const = 0;
    virtual void setUnderline(ScoreStyle style) = 0;
    virtual void setStrikeThrough(ScoreStyle style) = 0;
    virtual void setOverline(ScoreStyle style) = 0;
    virtual void setColour(Rgb colour) = 0;
    // Advance of one character in fixed pitch: (HMI or pitch width) + extra
    // space, doubled with double width.
    virtual int cellWidth() const = 0;
    virtual int lineSpacing() const = 0;
    virtual void setLineSpacing(int twips) = 0;

    // --- Page limits (effective values: "not set" reads as the default) ---

    virtual int pageWidth() const = 0;
    virtual int pageHeight() const = 0;
    virtual int leftLimit() const = 0;
    virtual int topLimit() const = 0;
    virtual int rightLimit() const = 0;
    virtual int bottomLimit() const = 0;
    // The setters throw EIllegalParameter("SetTopMargin"), ("SetBottomMargin"),
    // ("SetLeftMargin"), ("SetRightMargin") when the limits would cross; the
    // bottom and right values are clamped to the page size.
    virtual void setTopLimit(int twips) = 0;
    virtual void setBottomLimit(int twips) = 0;
    virtual void setLeftLimit(int twips) = 0;
    virtual void setRightLimit(int twips) = 0;
    virtual void cancelTopLimit() = 0;
    virtual void cancelBottomLimit() = 0;
    // Top limit back to "not set", bottom := top + length; throws
    // EIllegalParameter("SetVirtualPageLength") unless 1 <= length <= 31680.
    virtual void setPageLength(int twips) = 0;

    // --- Graphics and paper ---

    // Places the bitmap with its top-left corner at the print position, each
    // dot 1/density inch wide and high, in the current colour; cut at the
    // right and bottom limits. With advance, x moves right by the image width.
    // Starts the page.
    virtual void placeBitmap(const MonoBitmap& bitmap, int horizontalDpi, int verticalDpi, bool advance) = 0;
    // A black line one twip wide from (x1, y1) to (x2, y2), drawn only when the
    // page is output. The caller starts the page.
    virtual void drawLine(int x1, int y1, int x2, int y2, RuleStyle style) = 0;
    // Paper bin by index (0 is the job's default source).
    virtual void selectBin(int index) = 0;
    virtual void setOrientation(bool landscape) = 0;
};

}  // namespace zemprint
