// Bit images: columns of dots, the top dot in the most significant bit,
// assembled into one bitmap per command and handed to the page model.
#include <algorithm>
#include <new>

#include "printer/job/data.h"
#include "printer/base/errors.h"
#include "printer/escp/escp.h"
#include "printer/escp/escp_codes.h"
#include "printer/page/page_model.h"

namespace zemprint {

namespace {

struct Density {
    int mode;
    int horizontal;
    int vertical;
};

constexpr Density kDensities[] = {
    {0, 60, 60},    {1, 120, 60},   {2, 120, 60},   {3, 240, 60},   {4, 80, 60},   {5, 72, 72},
    {6, 90, 60},    {7, 144, 72},   {32, 60, 180},  {33, 120, 180}, {38, 90, 180}, {39, 180, 180},
    {40, 360, 180}, {71, 180, 360}, {72, 360, 360}, {73, 360, 360},
};

// 9-pin printers: eight dots a column, 1/72 inch apart, in every mode.
constexpr Density kNinePinDensities[] = {
    {0, 60, 72}, {1, 120, 72}, {2, 120, 72}, {3, 240, 72}, {4, 80, 72}, {5, 72, 72}, {6, 90, 72}, {7, 144, 72},
};

const Density* findDensity(int mode, bool ninePin)
{
    if (ninePin) {
        for (const Density& density : kNinePinDensities)
            if (density.mode == mode) return &density;
        return nullptr;
    }
    for (const Density& density : kDensities)
        if (density.mode == mode) return &density;
    return nullptr;
}

constexpr int kDotsPerByte = 8;
constexpr int kPinRowDpi = 60;  // pins = vertical density / 60 × 8
constexpr int kLegacyVerticalDpi = 60;
constexpr int kNinePinVerticalDpi = 72;
constexpr int kNinePinDots = 9;
constexpr int kNinthDotBit = 0x100;

// ESC K, L, Y, Z in that order of the density slots.
int legacySlot(std::uint8_t command)
{
    switch (command) {
    case 'K':
        return 0;
    case 'L':
        return 1;
    case 'Y':
        return 2;
    default:
        return 3;
    }
}

}  // namespace

MonoBitmap TESCP::makeBitmap(int width, int height)
{
    try {
        return MonoBitmap(width, height);
    } catch (const std::bad_alloc&) {
        throw EZEMPrint("Cannot create bitmap");
    }
}

// Reads `columns` columns of `bytesPerColumn` bytes into a bitmap and places it.
void TESCP::columnImage(int columns, int bytesPerColumn, int horizontalDpi, int verticalDpi)
{
    if (columns <= 0) return;
    MonoBitmap bitmap = makeBitmap(columns, bytesPerColumn * kDotsPerByte);
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < bytesPerColumn; ++row) {
            const std::uint8_t bits = data_.readByte();
            for (int dot = 0; dot < kDotsPerByte; ++dot)
                if (bits & (0x80 >> dot)) bitmap.setDot(column, row * kDotsPerByte + dot);
        }
    }
    page_.placeBitmap(bitmap, horizontalDpi, verticalDpi, true);
}

void TESCP::bitImage()
{
    const int mode = data_.readByte();
    const int columns = data_.readWord();
    trace_.command("SelectBitImage %d %d", mode, columns);
    if (columns > kMaxBitImageColumns) illegal("SelectBitImage n");
    const Density* density = findDensity(mode, ninePin());
    if (density == nullptr) illegal("SelectBitImage density");
    const int pins = ninePin() ? kDotsPerByte : density->vertical / kPinRowDpi * kDotsPerByte;
    columnImage(columns, pins / kDotsPerByte, density->horizontal, density->vertical);
}

void TESCP::legacyBitImage(std::uint8_t command)
{
    const int columns = data_.readWord();
    switch (command) {
    case 'K':
        trace_.command("SelectGraphics60 %d", columns);
        break;
    case 'L':
        trace_.command("SelectGraphics120 %d", columns);
        break;
    case 'Y':
        trace_.command("SelectGraphics120Fast %d", columns);
        break;
    default:
        trace_.command("SelectGraphics240 %d", columns);
        break;
    }
    columnImage(columns, 1, densities_[legacySlot(command)], ninePin() ? kNinePinVerticalDpi : kLegacyVerticalDpi);
}

void TESCP::reassignBitImage()
{
    const std::uint8_t command = data_.readByte();
    const int mode = data_.readByte();
    trace_.command("ReassignBitImageMode %d %d", command, mode);
    if (command != 'K' && command != 'L' && command != 'Y' && command != 'Z') illegal("ReassignBitImageMode");
    const Density* density = findDensity(mode, ninePin());
    if (density == nullptr) illegal("ReassignBitImageMode density");
    densities_[legacySlot(command)] = density->horizontal;
}

void TESCP::ninePinGraphics()
{
    const int mode = data_.readByte();
    const int count = data_.readWord();
    trace_.command("SelectGraphics9Pin %d %d", mode, count);
    if (mode > 1 || count % 2 != 0) illegal("SelectGraphics9Pin");
    const int columns = count / 2;
    if (columns == 0) return;
    MonoBitmap bitmap = makeBitmap(columns, kNinePinDots);
    for (int column = 0; column < columns; ++column) {
        const int word = data_.readWord();
        for (int dot = 0; dot < kDotsPerByte; ++dot)
            if (word & (0x80 >> dot)) bitmap.setDot(column, dot);
        if (word & kNinthDotBit) bitmap.setDot(column, kNinePinDots - 1);
    }
    page_.placeBitmap(bitmap, mode == 0 ? 60 : 120, kNinePinVerticalDpi, true);
}

}  // namespace zemprint
