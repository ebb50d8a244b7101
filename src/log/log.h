// Debug log: every call carries a category mask; the text (at most 255 characters) goes to
// standard error when the mask is 0 or shares a bit with the debug mask.
#pragma once

#include <cstdint>

namespace LogCat {
constexpr uint32_t Error = 0;      // always shown
constexpr uint32_t General = 0x1;  // "ZEM: ..."
constexpr uint32_t Screen = 0x2;   // "scr: ..."
constexpr uint32_t Serial = 0x8;
constexpr uint32_t Parallel = 0x10;
constexpr uint32_t Sound = 0x20;
constexpr uint32_t Container = 0x40;
constexpr uint32_t Ip = 0x80;
constexpr uint32_t Keyboard = 0x100;
constexpr uint32_t Mouse = 0x200;
constexpr uint32_t Floppy = 0x400;
constexpr uint32_t HostDir = 0x800;
}  // namespace LogCat

void zlogSetMask(uint32_t mask);
uint32_t zlogMask();
bool zlogEnabled(uint32_t mask);
void zlog(uint32_t mask, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
