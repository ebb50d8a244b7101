// Byte values and fixed numbers of the ESC/P command language.
#pragma once

#include <cstdint>

namespace zemprint {

enum EscpControl : std::uint8_t {
    NUL = 0,
    SOH = 1,
    BEL = 7,
    BS = 8,
    HT = 9,
    LF = 10,
    VT = 11,
    FF = 12,
    CR = 13,
    SO = 14,
    SI = 15,
    DC1 = 17,
    DC2 = 18,
    DC3 = 19,
    DC4 = 20,
    CAN = 24,
    EM = 25,
    ESC = 27,
    DEL = 127,
};

// Units after a reset, in 1/28800 inch.
inline constexpr int kUnitDefaultPage = 80;                 // 1/360 inch
inline constexpr int kUnitDefaultRelativeHorizontal = 160;  // 1/180 inch
inline constexpr int kUnitDefaultAbsoluteHorizontal = 480;  // 1/60 inch
inline constexpr int kUnitDefaultVertical = 80;             // 1/360 inch

// Default stops: every 8 columns and every 2 lines.
inline constexpr int kDefaultTabColumns = 8;
inline constexpr int kDefaultVerticalTabLines = 2;

// ESC EM 1 to 9 select the bins 0 to 8.
inline constexpr int kLastBinCommand = 9;

// ESC * refuses wider images.
inline constexpr int kMaxBitImageColumns = 7905;

}  // namespace zemprint
