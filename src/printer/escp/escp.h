// TESCP: the ESC/P and ESC/P2 interpreter. It reads the job one command at a
// time through TData and turns it into calls on the page model; it owns the
// command-language state: units, tab stops, character slots, bit-image
// densities and the debug trace. It knows nothing of Qt or output devices.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "printer/data/charsets.h"
#include "printer/escp/escp_trace.h"
#include "printer/page/page_model.h"

namespace zemprint {

class TData;
class TSettings;

// What the interpreter takes from the settings.
struct EscpSettings {
    std::array<std::uint32_t, 4> charsets{kDefaultCharsetId, kDefaultCharsetId, kDefaultCharsetId, kDefaultCharsetId};
    bool debug = false;
    int pins = 24;  // 9: the units, densities and commands of 9-pin printers
};

class TESCP {
public:
    TESCP(TData& data, PageModel& page, const EscpSettings& settings);
    TESCP(TData& data, PageModel& page, const TSettings& settings);
    TESCP(const TESCP&) = delete;
    TESCP& operator=(const TESCP&) = delete;

    // Reset with page end, then interpret until the job ends or the stop flag
    // is set. Errors other than illegal parameters leave run.
    void run();

    // Keep interpreting to the end although only one page is output (the
    // preview sets it to learn the page count).
    bool countAll = false;

    static constexpr int kHorizontalTabCapacity = 32;
    static constexpr int kVerticalTabCapacity = 16;
    static constexpr int kSlotCount = 4;

private:
    // --- item level ---
    // Throws EZEMPrint when the job is written in another printer language.
    void refuseForeignLanguage();
    void processItem();
    void printByte(std::uint8_t b);
    // Prints c (the slot value of byte b), composing with "BS x" when the
    // lookahead (at most `lookahead` bytes) holds one.
    // Returns the bytes the composition took (0 or 2).
    int printMapped(std::uint8_t b, std::int32_t lookahead);
    void escape();
    void extended();
    void extendedCommand(std::uint8_t command, int length);
    void rasterResolution(int length);
    void extendedColour(int length);
    void extendedRaster();
    // The ink of ESC ( r m c and ESC i; none for values printers refuse.
    static std::optional<Rgb> inkColour(int m, int c);
    void reset(bool withPageEnd);
    [[noreturn]] void illegal(const std::string& name);

    // --- control codes ---
    void backspace();
    void horizontalTab();
    void lineFeed();
    void verticalTab();
    void formFeed();
    void carriageReturn();
    void endOneLineDoubleWidth();
    void doubleWidthOneLine();
    void cancelDoubleWidth();
    void setCondensed(bool on);

    // --- ESC commands ---
    void jobControlMode();
    void paperControl();
    void intercharacterSpace();
    void masterSelect();
    void absoluteHorizontal();
    void bitImage();
    void legacyBitImage(std::uint8_t command);
    void lineSpacing(int n, int perInch);
    void fractionLineSpacing(int numerator, int denominator);
    void underline();
    void reassignBitImage();
    void verticalTabs();
    void pageLengthLines();
    void horizontalTabs();
    void controlCodes();
    void defineUserCharacters();
    void selectUserSet();
    void copyRomToRam();
    void printUserCharacter(std::uint8_t b);
    void vfuChannel();
    void skipSpacesOrLines();
    void reverseFeed();
    // 1/n inch of ESC 3, ESC J and ESC j: 216 on 9-pin printers, 180 on 24-pin.
    int fineLineUnit() const { return ninePin() ? 216 : 180; }
    bool ninePin() const { return pins_ == 9; }
    void advanceVertical();
    void selectPitch(int cpi);
    void bottomMargin();
    void cancelBottomMargin();
    void rightMargin();
    void internationalSet();
    void selectScript();
    void doubleWidth();
    void scalableFont();
    void relativeHorizontal();
    void ninePinGraphics();
    void ruledLine();
    void hmi();
    void typeface();
    void leftMargin();
    void proportionalMode();
    void printStyle();
    void colour();
    void selectSlot();
    void doubleHeight();
    void quality();

    // --- ESC ( commands ---
    void scoreLine();
    void pageLengthUnits(int length);
    void graphicsMode(int length);
    void remoteMode();
    void units(int length);
    void absoluteVertical(int length);
    void relativeHorizontalHigh(int length);
    void printDataAsCharacters(int length);
    void pageFormat(int length);
    void assignCharTable(int length);
    void relativeVertical(int length);

    // --- graphics mode ---
    struct TiffState {
        int compression = 2;
        int verticalDpi = 0;
        int horizontalDpi = 0;
        int rowDots = 0;
        std::array<std::vector<std::uint8_t>, 4> planes;  // a set bit is a printed dot
        std::array<bool, 4> holdsData{};
        int plane = 0;
        int unit = 1;
        // Dot position from the left limit. Transfers keep advancing it past
        // the row's end (their bits are dropped there), so a later <MOVX>
        // counts from where the data really ended; 64 bits cannot overflow
        // within a job.
        std::int64_t x = 0;
    };
    bool graphicsItem();  // true at ESC @
    void graphicsExtended();
    void rasterGraphics();
    void tiffMode(int compression);
    int tiffParameter(std::uint8_t code);
    void printPlanes(TiffState& tiff);
    std::uint8_t runLengthByte();
    void clearRunLength();
    bool selectionPassed() const;

    // --- helpers ---
    // A blank bitmap; running out of memory is "Cannot create bitmap".
    static MonoBitmap makeBitmap(int width, int height);
    void setColourValue(Rgb value);
    void leaveMultipoint();
    void setPageLength(int twips);
    void columnImage(int columns, int bytesPerColumn, int horizontalDpi, int verticalDpi);
    int marginUnit() const;

    TData& data_;
    PageModel& page_;
    int pins_ = 24;
    EscpTrace trace_;
    std::array<std::uint32_t, kSlotCount> charsetIds_;

    bool controlCodes_ = true;
    bool oneLineDoubleWidth_ = false;
    int pageUnit_ = 20;
    int relativeHorizontalUnit_ = 40;
    int absoluteHorizontalUnit_ = 120;
    int relativeVerticalUnit_ = 20;
    int absoluteVerticalUnit_ = 20;
    bool defaultUnits_ = true;
    bool draft_ = false;
    int horizontalTabCount_ = kHorizontalTabCapacity;
    std::array<int, kHorizontalTabCapacity> horizontalTabs_{};
    int verticalTabCount_ = kVerticalTabCapacity;
    std::array<int, kVerticalTabCapacity> verticalTabs_{};
    bool multipoint_ = false;
    bool stop_ = false;
    std::array<int, 4> densities_{};
    std::array<CharsetTable, kSlotCount> slots_{};
    int currentSlot_ = 0;
    int lastAdvance_ = 0;
    // Characters defined by ESC &, by byte code; ESC % 1 prints them.
    struct UserCharacter {
        bool defined = false;
        MonoBitmap dots;    // the columns as defined
        int leftSpace = 0;  // blank dot columns before and after them
        int rightSpace = 0;
        int horizontalDpi = 0;
        int verticalDpi = 0;
    };
    std::array<UserCharacter, 256> userCharacters_{};
    bool userSet_ = false;
    int rasterHorizontalDpi_ = 0;  // of ESC i bands, set by ESC ( D; 0: from the units
    int rasterVerticalDpi_ = 0;    // of the last printed character, for BS in proportional text
    Rgb colour_{};
    int repeatCount_ = 0;
    std::uint8_t repeatByte_ = 0;
    int literalCount_ = 0;
    // Bottom of the form set by the last page length; 0 while none is set
    // (the form then ends at the page height).
    int formBottom_ = 0;
};

}  // namespace zemprint
