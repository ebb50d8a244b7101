// Graphics mode (ESC ( G until ESC @): its own small command set, raster
// bands (raw or run-length coded) and the TIFF-style plane commands.
#include <algorithm>
#include <optional>

#include "printer/job/data.h"
#include "printer/escp/escp.h"
#include "printer/escp/escp_codes.h"
#include "printer/escp/escp_units.h"
#include "printer/page/page_model.h"

namespace zemprint {

namespace {

constexpr std::uint8_t ACK = 6;
constexpr int kRasterDensityBase = 3600;  // v, h are in 1/3600 inch
constexpr int kTiffDefaultStep = 10;
constexpr int kMaxTiffMove = 31680;  // twips; larger <MOVY> moves are not taken
constexpr int kDotsPerByte = 8;
constexpr int kPlaneCount = 4;

enum TiffCode : std::uint8_t {
    kTiffClear = 0xE1,
    kTiffCarriageReturn = 0xE2,
    kTiffExit = 0xE3,
    kTiffMoveByte = 0xE4,
    kTiffMoveDot = 0xE5,
};

constexpr std::array<Rgb, kPlaneCount> kPlaneColours = {{{0, 0, 0}, {255, 0, 255}, {0, 255, 255}, {255, 255, 0}}};

bool validRasterDensity(int dpi) { return dpi == 90 || dpi == 180 || dpi == 360 || dpi == 720; }

int rasterDensity(int step) { return roundEven(static_cast<double>(kRasterDensityBase) / step); }

// Writes the eight dots of `bits` at dot position x of a row, keeping the row's end.
void storeByte(std::vector<std::uint8_t>& row, int rowDots, std::int64_t x, std::uint8_t bits)
{
    for (int dot = 0; dot < kDotsPerByte; ++dot) {
        const std::int64_t at = x + dot;
        if (at >= rowDots) return;
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (at % kDotsPerByte));
        if (bits & (0x80 >> dot))
            row[static_cast<std::size_t>(at / kDotsPerByte)] |= mask;
        else
            row[static_cast<std::size_t>(at / kDotsPerByte)] &= static_cast<std::uint8_t>(~mask);
    }
}

}  // namespace

std::uint8_t TESCP::runLengthByte()
{
    if (repeatCount_ == 0 && literalCount_ == 0) {
        const int counter = data_.readByte();
        if (counter >= 128) {
            repeatCount_ = 257 - counter;
            repeatByte_ = data_.readByte();
        } else {
            literalCount_ = counter + 1;
        }
    }
    if (repeatCount_ > 0) {
        --repeatCount_;
        return repeatByte_;
    }
    --literalCount_;
    return data_.readByte();
}

void TESCP::clearRunLength()
{
    repeatCount_ = 0;
    repeatByte_ = 0;
    literalCount_ = 0;
}

bool TESCP::selectionPassed() const
{
    const int selected = page_.singlePage();
    return selected > 0 && selected < page_.pageCount() && !countAll;
}

void TESCP::graphicsMode(int length)
{
    if (length != 1) illegal("GraphicsMode n");
    const int b = data_.readByte();
    if (b != 1 && b != '1') illegal("Graphicsmode b");
    trace_.command("Enter graphics mode");
    for (;;) {
        if (selectionPassed()) {
            stop_ = true;
            return;
        }
        try {
            if (graphicsItem()) return;
        } catch (const EIllegalParameter& failure) {
            trace_.illegal(failure.name());
        }
    }
}

bool TESCP::graphicsItem()
{
    const std::uint8_t b = data_.readByte();
    switch (b) {
    case LF:
        lineFeed();
        return false;
    case FF:
        formFeed();
        return false;
    case CR:
        carriageReturn();
        return false;
    case ESC:
        break;
    default:
        trace_.notImplemented("Unknown graphics code (" + std::to_string(b) + ")");
        return false;
    }
    const std::uint8_t command = data_.readByte();
    switch (command) {
    case ACK:
        trace_.ignored("Print out buffers");
        return false;
    case EM:
        paperControl();
        return false;
    case '$':
        absoluteHorizontal();
        return false;
    case '+':
        lineSpacing(data_.readByte(), 360);
        return false;
    case '.':
        rasterGraphics();
        return false;
    case '@':
        trace_.command("Exit graphics mode");
        reset(false);
        return true;
    case 'U':
        data_.readByte();
        trace_.ignored("Turn unidirectional mode on/off");
        return false;
    case '\\':
        relativeHorizontal();
        return false;
    case 'r':
        colour();
        return false;
    case '(':
        graphicsExtended();
        return false;
    case 'i':
        extendedRaster();
        return false;
    default:
        trace_.notImplemented("Unknown graphics ESC code (" + std::to_string(command) + ")");
        return false;
    }
}

void TESCP::graphicsExtended()
{
    const std::uint8_t command = data_.readByte();
    if (command == 'R') {
        remoteMode();
        return;
    }
    const int length = data_.readWord();
    switch (command) {
    case '$': {
        if (length != 4) illegal("SetAbsHorPosExtended n");
        const std::int64_t value = data_.readLong();
        trace_.command("SetAbsHorPosExtended %d", saturate(value));
        page_.setX(unitsToTwips(value, absoluteHorizontalUnit_));
        return;
    }
    case 'G':
        data_.skip(length);  // already in graphics mode
        return;
    default:
        extendedCommand(command, length);
        return;
    }
}

std::optional<Rgb> TESCP::inkColour(int m, int c)
{
    // The light inks (and dark yellow) as their own colours: where they
    // meet other inks they mix like them.
    constexpr Rgb kLightBlack{128, 128, 128};
    constexpr Rgb kLightMagenta{255, 128, 255};
    constexpr Rgb kLightCyan{128, 255, 255};
    constexpr Rgb kDarkYellow{192, 192, 0};
    if (m == 0) {
        switch (c) {
        case 0:
            return kPlaneColours[0];
        case 1:
            return kPlaneColours[1];
        case 2:
            return kPlaneColours[2];
        case 4:
            return kPlaneColours[3];
        default:
            return std::nullopt;
        }
    }
    if (m == 1) {
        switch (c) {
        case 0:
            return kLightBlack;
        case 1:
            return kLightMagenta;
        case 2:
            return kLightCyan;
        case 4:
            return kDarkYellow;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// ESC i r c b nL nH mL mH: m rows of n bytes in colour r (the high nibble
// the light inks), raw or run-length coded, b bits to a dot; the dots sit at
// the resolution of ESC ( D, else at the units of ESC ( U.
void TESCP::extendedRaster()
{
    const int r = data_.readByte();
    const int compression = data_.readByte();
    const int bits = data_.readByte();
    const int rowBytes = data_.readWord();
    const int rows = data_.readWord();
    trace_.command("Print extended raster %d %d %d %d/%d", r, compression, bits, rowBytes, rows);
    if (compression > 1) illegal("PrintExtendedRaster c");
    if (bits != 1 && bits != 2) illegal("PrintExtendedRaster b");
    const std::optional<Rgb> ink = inkColour(r >> 4, r & 0x0F);
    const int horizontalDpi = rasterHorizontalDpi_ > 0
                                  ? rasterHorizontalDpi_
                                  : roundEven(static_cast<double>(kEscpBase) / relativeHorizontalUnit_);
    const int verticalDpi =
        rasterVerticalDpi_ > 0 ? rasterVerticalDpi_ : roundEven(static_cast<double>(kEscpBase) / relativeVerticalUnit_);
    const int width = rowBytes * 8 / bits;
    // Header values up to 65535 rows of 65535 bytes: only what can land on
    // the page is kept (the rest would be cut there), all of it is read.
    const int keptWidth = std::min(width, page_.pageWidth() / kTwipsPerInchEscp * horizontalDpi + horizontalDpi);
    const int keptRows = std::min(rows, page_.pageHeight() / kTwipsPerInchEscp * verticalDpi + verticalDpi);
    if (compression == 1) clearRunLength();
    MonoBitmap band = makeBitmap(std::max(keptWidth, 0), std::max(keptRows, 0));
    for (int row = 0; row < rows; ++row) {
        for (int i = 0; i < rowBytes; ++i) {
            const std::uint8_t byte = compression == 1 ? runLengthByte() : data_.readByte();
            if (row >= keptRows) continue;
            // Two bits a dot (its size) or one; any dot prints.
            for (int dot = 0; dot < 8 / bits; ++dot) {
                const int x = i * 8 / bits + dot;
                const int shift = 8 - bits * (dot + 1);
                if (x < keptWidth && ((byte >> shift) & (bits == 1 ? 0x01 : 0x03)) != 0) band.setDot(x, row);
            }
        }
    }
    if (keptWidth <= 0 || keptRows <= 0) return;
    if (ink) page_.setColour(*ink);
    page_.placeBitmap(band, horizontalDpi, verticalDpi, true);
    page_.setColour(colour_);
}

void TESCP::rasterGraphics()
{
    const int compression = data_.readByte();
    if (compression == 2 || compression == 3) {
        tiffMode(compression);
        return;
    }
    const int v = data_.readByte();
    const int h = data_.readByte();
    const int height = data_.readByte();
    const int width = data_.readWord();
    const int verticalDpi = v == 0 ? 0 : rasterDensity(v);
    const int horizontalDpi = h == 0 ? 0 : rasterDensity(h);
    if (!validRasterDensity(verticalDpi)) illegal("PrintRaster v-res");
    if (!validRasterDensity(horizontalDpi)) illegal("PrintRaster h-res");
    trace_.command("Print raster %d %d/%d %d/%d", compression, horizontalDpi, verticalDpi, width, height);
    if (width == 0) return;
    MonoBitmap band = makeBitmap(width, height);
    const std::size_t total = band.bits.size();
    if (compression == 0) {
        for (std::size_t i = 0; i < total; ++i) band.bits[i] = data_.readByte();
    } else {
        clearRunLength();
        for (std::size_t i = 0; i < total; ++i) band.bits[i] = runLengthByte();
    }
    if (height > 0) page_.placeBitmap(band, horizontalDpi, verticalDpi, true);
}

void TESCP::setColourValue(Rgb value)
{
    colour_ = value;
    page_.setColour(value);
}

int TESCP::tiffParameter(std::uint8_t code)
{
    if ((code & 0x10) == 0) return code & 0x0F;
    return (code & 0x0F) == 1 ? data_.readByte() : data_.readWord();
}

void TESCP::tiffMode(int compression)
{
    int v = data_.readByte();
    int h = data_.readByte();
    const int p1 = data_.readByte();
    const int p2 = data_.readByte();
    const int p3 = data_.readByte();
    if (p1 != 1 || p2 != 0 || p3 != 0) illegal("PrintTIFF");
    if (v == 0) v = kTiffDefaultStep;
    if (h == 0) h = kTiffDefaultStep;
    TiffState tiff;
    tiff.compression = compression;
    tiff.verticalDpi = rasterDensity(v);
    tiff.horizontalDpi = rasterDensity(h);
    tiff.rowDots = roundEven(static_cast<double>(page_.pageWidth()) * tiff.horizontalDpi / kTwipsPerInchEscp);
    tiff.rowDots = std::max(tiff.rowDots, 0);
    int rowBytes = (tiff.rowDots + kDotsPerByte - 1) / kDotsPerByte;
    rowBytes += rowBytes % 2;
    for (auto& plane : tiff.planes) plane.assign(static_cast<std::size_t>(rowBytes) + 1, 0);
    trace_.command("Enter TIFF mode %d %d/%d", compression, tiff.horizontalDpi, tiff.verticalDpi);
    for (;;) {
        const std::uint8_t code = data_.readByte();
        if (code == kTiffExit) {
            printPlanes(tiff);
            trace_.command("Exit TIFF mode");
            return;
        }
        if (code == kTiffMoveByte) {
            tiff.unit = kDotsPerByte;
            tiff.x = 0;
            trace_.command("<MOVXBYTE>");
        } else if (code == kTiffMoveDot) {
            tiff.unit = 1;
            tiff.x = 0;
            trace_.command("<MOVXDOT>");
        } else if (code == kTiffCarriageReturn) {
            tiff.x = 0;
            trace_.command("<CR>");
        } else if (code == kTiffClear) {
            std::fill(tiff.planes[tiff.plane].begin(), tiff.planes[tiff.plane].end(), 0);
            tiff.holdsData[tiff.plane] = false;
            trace_.command("<CLR>");
        } else if (code >= 0x80 && code <= 0x8F) {
            tiff.x = 0;
            const int n = code & 0x0F;
            trace_.command("<COLR> %d", n);
            if (n == 0 || n == 1 || n == 2)
                tiff.plane = n;
            else if (n == 4)
                tiff.plane = 3;
            else
                trace_.command("<COLR> argument invalid");
        } else if (code >= 0x60 && code <= 0x7F) {
            const int p = tiffParameter(code);
            trace_.command("<MOVY> %d", p);
            printPlanes(tiff);
            const int move = unitsToTwips(p, pageUnit_);
            if (move < kMaxTiffMove) {
                page_.setY(saturate(static_cast<std::int64_t>(page_.y()) + move));
                tiff.x = 0;
            }
        } else if (code >= 0x40 && code <= 0x5F) {
            int value = 0;
            if ((code & 0x10) == 0)
                value = (code & 0x08) ? (code & 0x0F) - 16 : (code & 0x0F);
            else if ((code & 0x0F) == 1)
                value = static_cast<std::int8_t>(data_.readByte());
            else
                value = static_cast<std::int16_t>(data_.readWord());
            trace_.command("<MOVX> %d", value);
            const std::int64_t moved = divRoundEven(
                tiff.x * kEscpBase + static_cast<std::int64_t>(value) * tiff.unit * pageUnit_ * tiff.horizontalDpi,
                kEscpBase);
            if (moved >= 0 && moved <= tiff.rowDots) tiff.x = moved;
        } else if (code >= 0x20 && code <= 0x3F) {
            const int p = tiffParameter(code);
            trace_.command("<XFER> %d", p);
            clearRunLength();
            const std::int32_t start = data_.position();
            auto& row = tiff.planes[tiff.plane];
            while (data_.position() - start < p || repeatCount_ > 0) {
                const std::uint8_t bits = runLengthByte();
                if (tiff.x < tiff.rowDots) storeByte(row, tiff.rowDots, tiff.x, bits);
                tiff.x += kDotsPerByte;
            }
            tiff.holdsData[tiff.plane] = true;
        }
    }
}

// Where planes meet, their inks mix as on paper: each dot is placed once, in
// the AND of the colours of the planes that print it (cyan and yellow give
// green), so no plane covers another whatever the output device.
void TESCP::printPlanes(TiffState& tiff)
{
    constexpr std::size_t kMixes = 1u << kPlaneCount;  // one per set of planes
    std::array<MonoBitmap, kMixes> mixes;
    std::array<bool, kMixes> used{};
    int firstPlane = -1;
    for (int i = kPlaneCount - 1; i >= 0; --i)
        if (tiff.holdsData[i]) firstPlane = i;
    if (firstPlane < 0) return;
    bool anyDot = false;
    for (int x = 0; x < tiff.rowDots; ++x) {
        const std::size_t byte = static_cast<std::size_t>(x / kDotsPerByte);
        const std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> (x % kDotsPerByte));
        std::size_t planes = 0;
        for (int i = 0; i < kPlaneCount; ++i)
            if (tiff.holdsData[i] && (tiff.planes[i][byte] & bit)) planes |= std::size_t{1} << i;
        if (planes == 0) continue;
        if (!used[planes]) {
            mixes[planes] = makeBitmap(tiff.rowDots, 1);
            used[planes] = true;
        }
        mixes[planes].setDot(x, 0);
        anyDot = true;
    }
    if (!anyDot) {
        // A row of white still begins the page, as a printed row does.
        const std::size_t only = std::size_t{1} << firstPlane;
        mixes[only] = makeBitmap(tiff.rowDots, 1);
        used[only] = true;
    }
    for (std::size_t planes = 1; planes < kMixes; ++planes) {
        if (!used[planes]) continue;
        Rgb mix{255, 255, 255};
        for (int i = 0; i < kPlaneCount; ++i) {
            if (planes & (std::size_t{1} << i)) {
                mix.red &= kPlaneColours[i].red;
                mix.green &= kPlaneColours[i].green;
                mix.blue &= kPlaneColours[i].blue;
            }
        }
        page_.setX(page_.leftLimit());
        page_.setColour(mix);
        if (tiff.rowDots > 0) page_.placeBitmap(mixes[planes], tiff.horizontalDpi, tiff.verticalDpi, false);
    }
    page_.setColour(colour_);
    if (tiff.compression == 2) {
        for (int i = 0; i < kPlaneCount; ++i) {
            std::fill(tiff.planes[i].begin(), tiff.planes[i].end(), 0);
            tiff.holdsData[i] = false;
        }
    }
}

}  // namespace zemprint
