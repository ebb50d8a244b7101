// Host-call group SYS ($A0xx): general services of the machine.
#pragma once

#include <cstdint>
#include <string>

#include "core/host_call.h"

// The SYS operation in slot `index` (sub-operation * 2 + (low >> 3)), nullptr for an
// unassigned slot. The dispatcher calls it with the register number (low & 7).
HostOperation sysOperation(unsigned index);

// Installs the group's operations in the dispatcher (start-up, before the processor runs)
// and removes them again (shut-down).
void sysInstallHostCalls();
void sysRemoveHostCalls();

// Individual operations, for tests. n = register number from the word.
int32_t sysQuit(unsigned n);
int32_t sysGetVersion(unsigned n);
int32_t sysGetHostSystem(unsigned n);
int32_t sysGetRamSize(unsigned n);
int32_t sysGetComputerName(unsigned n);
int32_t sysClearMemory(unsigned n);
int32_t sysSaveRegisters(unsigned n);
int32_t sysRestoreRegisters(unsigned n);
int32_t sysRingGet(unsigned n);
int32_t sysRingPut(unsigned n);
int32_t sysRingTest(unsigned n);
int32_t sysGetCommandLine();
int32_t sysSetWindowTitle();
int32_t sysIsForeground();
int32_t sysFlashWindow();
int32_t sysClipboardPut(unsigned n);
int32_t sysClipboardFetch(unsigned n);
int32_t sysClipboardGet(unsigned n);
int32_t sysExecute(unsigned n);
int32_t sysSetDebugMask();
int32_t sysDebugPrint();

// The guest's first RAM address that ClearMemory may clear.
constexpr uint32_t ClearMemoryStart = 0x20000;

// The text DebugPrint makes of `text` (host code page) with its directives expanded
// from the current registers, without the line end.
std::string debugPrintExpand(const std::string& text);

// Shell result of an open request -> guest result.
int32_t shellResultToGuest(int shellResult);

// Forgets the clipboard copy and the register save area (tests).
void sysResetState();
