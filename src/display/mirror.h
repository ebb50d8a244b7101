// The mirror between the classic QL screen at guest $20000 (128 bytes x 256 lines) and
// the top-left 512 x 256 pixels of a larger screen, in both directions.
#pragma once

#include <cstdint>

// QL formats: the bytes themselves are copied.
void mirrorScreenToQlCopy(uint8_t* host, unsigned column, unsigned line, unsigned size);
void mirrorQlToScreenCopy(uint8_t* host, unsigned column, unsigned line, unsigned size);
// 8-bit and 16-bit formats: QL words are decoded in the mirror mode's format, and screen
// pixels of exactly a QL colour are encoded back.
void mirrorScreenToQl8(uint8_t* host, unsigned column, unsigned line, unsigned size);
void mirrorQlToScreen8(uint8_t* host, unsigned column, unsigned line, unsigned size);
void mirrorScreenToQl16(uint8_t* host, unsigned column, unsigned line, unsigned size);
void mirrorQlToScreen16(uint8_t* host, unsigned column, unsigned line, unsigned size);
