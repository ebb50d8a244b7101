// Screen block operations: fill, exclusive-or and combine for the 8-bit and 16-bit
// formats, move area for all formats. They write guest memory directly and mark what
// they drew. Each takes its parameters from the guest registers; the parameter forms
// below are the same operations for callers that are not the processor.
#pragma once

#include <cstdint>

struct FillParams {
    uint32_t address;                // A1: first byte of the first row
    uint32_t gap;                    // A2: bytes from the end of one row to the start of the next
    uint16_t units;                  // D1.W: whole 4-byte units per row
    uint16_t rows;                   // D3.W
    uint32_t d4, d5;                 // leading / trailing piece descriptions (by format)
    uint32_t evenColour, oddColour;  // D6, D7
};

// One area of combine and move area: position (x in bits 31-16, y in bits 15-0),
// base address and pitch.
struct BlockArea {
    uint32_t position;
    uint32_t base;
    uint32_t pitch;
};

struct CombineParams {
    uint32_t size;  // D1: width in bits 31-16, rows in bits 15-0
    BlockArea source1, source2, destination;
    uint8_t alpha;  // weight of source 1
};

struct MoveParams {
    uint32_t size;
    BlockArea source, destination;
};

enum class BlockKind { Fill, Eor };

int32_t fillBlock(BlockKind kind, unsigned bitsPerPixel, const FillParams& p);
int32_t combineBlock(unsigned bitsPerPixel, const CombineParams& p);
// Sets the guest's trace on a parameter error (processor thread).
int32_t moveArea(const MoveParams& p);

// The 9-bit colour (red level bits 8-6, green 5-3, blue 2-0) of a palette index, and
// the palette index that shows a 9-bit colour (exactly where the palette has it).
uint16_t paletteRgb9(uint8_t index);
uint8_t paletteIndexOfRgb9(uint16_t rgb9);

// Register forms (processor thread), for the format records and the host calls.
int32_t fillBlock8();
int32_t fillBlock16();
int32_t eorBlock8();
int32_t eorBlock16();
int32_t combineBlock8();
int32_t combineBlock16();
int32_t moveAreaFromRegisters();
