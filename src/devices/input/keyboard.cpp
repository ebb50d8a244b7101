#include "devices/input/keyboard.h"

#include "config/settings.h"
#include "core/events.h"
#include "core/guest_write.h"
#include "core/host_call.h"
#include "core/ring_buffer.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/input/input_host.h"
#include "devices/input/key_tables.h"
#include "log/log.h"

#include <atomic>
#include <memory>

namespace {

// Set-1 codes the driver decides on ($80 added for extended keys).
namespace Scan {
constexpr uint8_t Tab = 0x0F;
constexpr uint8_t LeftCtrl = 0x1D;
constexpr uint8_t LeftShift = 0x2A;
constexpr uint8_t RightShift = 0x36;
constexpr uint8_t LeftAlt = 0x38;
constexpr uint8_t CapsLock = 0x3A;
constexpr uint8_t NumLock = 0x45;
constexpr uint8_t ScrollLock = 0x46;
constexpr uint8_t Extra102 = 0x56;  // the extra key left of Z
constexpr uint8_t F12 = 0x58;
constexpr uint8_t RightCtrl = 0x9D;
constexpr uint8_t RightAlt = 0xB8;
constexpr uint8_t Pause = 0xC5;
constexpr uint8_t LeftWindows = 0xDB;
constexpr uint8_t RightWindows = 0xDC;
constexpr uint8_t Extended = 0x80;
constexpr uint8_t ExtendedPrefix = 0xE0;
constexpr uint8_t Release = 0x80;
}  // namespace Scan

// Guest codes of the "Windows" driver's cursor and block keys, and their modifier bits.
namespace GuestKey {
constexpr uint8_t Left = 0xC0;
constexpr uint8_t Right = 0xC8;
constexpr uint8_t Up = 0xD0;
constexpr uint8_t Down = 0xD8;
constexpr uint8_t CapsLock = 0xE0;
constexpr uint8_t PageUp = 0xD4;
constexpr uint8_t PageDown = 0xDC;
constexpr uint8_t LineStart = 0xC1;
constexpr uint8_t LineEnd = 0xC9;
constexpr uint8_t DocumentStart = 0xD5;
constexpr uint8_t DocumentEnd = 0xDD;
constexpr uint8_t AltBit = 1;
constexpr uint8_t CtrlBit = 2;
constexpr uint8_t ShiftBit = 4;
constexpr uint8_t AltCtrlShiftTab = 0xFD;
}  // namespace GuestKey

// Bits of the modifier byte GetKeyState answers with (and that the GUI thread keeps).
namespace LiveBit {
constexpr uint8_t Shift = 1u << 0;
constexpr uint8_t Ctrl = 1u << 1;
constexpr uint8_t LeftAlt = 1u << 2;
constexpr uint8_t RightAlt = 1u << 7;
}  // namespace LiveBit

// The media and power keys, which the "VROS/E" driver leaves to the host.
bool mediaKey(uint8_t code) { return (code >= 0xA0 && code <= 0xB2) || (code >= 0xDE && code <= 0xED); }

constexpr uint8_t LockOn = 0xFF;
constexpr unsigned CapsLockRegister = 7;  // D7

enum InpSlot : unsigned { GetCapsLockSlot = 2, GetKeyStateSlot = 3 };

std::unique_ptr<RingBuffer> ring;
uint32_t ringHandle = 0;

std::atomic<LockKeysReader> lockReader{hostLockKeys};

// GUI thread.
HostLockKeys trackedLocks;
std::array<bool, 256> keysDown{};
bool key56Down = false;
bool active = true;
bool minimised = false;
ModifierSnapshot snapshot;

// Read by the processor thread.
std::array<std::atomic<uint8_t>, KeyMatrixSize> matrix{};
std::atomic<uint8_t> liveModifiers{0};
std::atomic<bool> capsLockOn{false};

ModifierSnapshot refreshSnapshot();

void storeGuestByte(uint32_t address, uint8_t value)
{
    if (uint8_t* host = guestRange(address, 1)) std::atomic_ref<uint8_t>(*host).store(value, std::memory_order_relaxed);
}

void writeLockBytes()
{
    storeGuestByte(KeyboardAddress::NumLock, snapshot.numLock ? LockOn : 0);
    storeGuestByte(KeyboardAddress::CapsLock, snapshot.capsLock ? LockOn : 0);
}

void announce()
{
    refreshSnapshot();
    writeLockBytes();
    if (uint32_t key = eventLinkage(LinkageSlot::Keyboard); key && ringHandle) postEvent(key, ringHandle);
}

void putByte(uint8_t byte)
{
    if (ring) ring->put(byte);  // a full ring drops it
}

void updateLiveModifiers()
{
    uint8_t bits = 0;
    if (keysDown[Scan::LeftShift] || keysDown[Scan::RightShift]) bits |= LiveBit::Shift;
    if (keysDown[Scan::LeftCtrl] || keysDown[Scan::RightCtrl]) bits |= LiveBit::Ctrl;
    if (keysDown[Scan::LeftAlt]) bits |= LiveBit::LeftAlt;
    if (keysDown[Scan::RightAlt]) bits |= LiveBit::RightAlt;
    liveModifiers.store(bits);
}

// Lock keys toggle on their presses; the host's own state wins where it can be read.
void followLockKey(uint8_t code)
{
    if (code == Scan::NumLock) trackedLocks.numLock = !trackedLocks.numLock;
    if (code == Scan::CapsLock) trackedLocks.capsLock = !trackedLocks.capsLock;
    if (code == Scan::ScrollLock) trackedLocks.scrollLock = !trackedLocks.scrollLock;
}

bool breakArmed()
{
    const uint8_t* host = guestRange(KeyboardAddress::BreakEnabled, 1);
    return host && std::atomic_ref<const uint8_t>(*host).load(std::memory_order_relaxed) == 1;
}

// The break key: the processor takes a trace exception once it next looks at its status
// register (at the latest when the next interrupt returns).
void setTraceBit() { std::atomic_ref<uint8_t>(cpu.srSystem).fetch_or(SrBit::T1); }

void exitHotKey()
{
    if (InputHost* host = inputHost()) host->requestExit();
}

void fullScreenHotKey()
{
    if (InputHost* host = inputHost()) host->toggleFullScreen();
}

void setMatrixBit(uint8_t position, bool down)
{
    if (position == 0) return;
    const unsigned row = position >> 4, column = position & 0x0F;
    if (column < 1 || column > 8) return;
    const uint8_t bit = uint8_t(1u << (column - 1));
    if (down)
        matrix[row].fetch_or(bit);
    else
        matrix[row].fetch_and(uint8_t(~bit));
}

void clearMatrix()
{
    for (auto& row : matrix) row.store(0);
}

// ---- "VROS/E" driver ---------------------------------------------------------------

// Right Alt as the AltGr setting wants it, through the same steps as pushScanCode.
void pushRightAlt(bool pressed)
{
    uint8_t code = Scan::RightAlt;
    if (settings.AltGr == AltGrMode::Alt) code = Scan::LeftAlt;
    if (settings.AltGr == AltGrMode::Ctrl) code = Scan::LeftCtrl;
    if (pressed) idleNoteActivity();
    if (ring) {
        if (code & Scan::Extended) putByte(Scan::ExtendedPrefix);
        putByte(uint8_t((code & 0x7F) | (pressed ? 0 : Scan::Release)));
    }
    announce();
}

// The reading step for one key event (the host delivers them one by one).
void vrosKeyEvent(uint8_t code, bool pressed)
{
    zlog(LogCat::Keyboard, "KBD: Entry\n");
    // The extra key's events are not relied on: its state is compared instead.
    if (keysDown[Scan::Extra102] != key56Down) {
        key56Down = keysDown[Scan::Extra102];
        pushScanCode(key56Down, Scan::Extra102);
        zlog(LogCat::Keyboard, "KBD: Key 56 workaround\n");
    }
    if (code != Scan::Extra102) {
        zlog(LogCat::Keyboard, "KBD: %i elements\n", 1);
        zlog(LogCat::Keyboard, pressed ? "KBD: Key %i pressed\n" : "KBD: Key %i released\n", code);
        const ModifierSnapshot m = readModifiers();
        if (active && !minimised) {
            if (code == Scan::ScrollLock && m.shift && m.ctrl) {
                exitHotKey();
                return;
            }
            if (code == Scan::F12 && pressed && m.shift && m.ctrl) {
                fullScreenHotKey();
                code = 0;
            } else if (code == Scan::Pause && breakArmed()) {
                setTraceBit();
                code = 0;
            }
        }
        if (code == 0 || code == Scan::LeftWindows || code == Scan::RightWindows || (pressed && m.windowsKey)) {
            // hot key taken, or a Windows key: the host's
        } else if (code == Scan::Tab && pressed && m.leftAlt && !m.ctrl) {
            // Alt+Tab belongs to the window manager
        } else if (mediaKey(code)) {
        } else if (code == Scan::RightAlt) {
            pushRightAlt(pressed);
        } else {
            pushScanCode(pressed, code);
        }
    }
    zlog(LogCat::Keyboard, "KBD: Exit\n");
}

// ---- "Windows" driver --------------------------------------------------------------

uint8_t virtualKeyOf(const HostKeyCode& key, const ModifierSnapshot& m)
{
    uint8_t vk = key.virtualKey;
    // Keypad keys are cursor keys while Num Lock is off or Shift is held.
    if (key.keypadNavigationKey && (!m.numLock || m.shift)) vk = key.keypadNavigationKey;
    if (vk == VirtualKey::Pause && m.ctrl) vk = VirtualKey::Cancel;
    return vk;
}

uint8_t matrixPosition(const HostKeyCode& key, uint8_t vk)
{
    if (key.extended()) {
        if (vk == VirtualKey::Return) return 0xE2;
        if (vk == VirtualKey::Control) return 0x81;
    }
    if (uint8_t p = matrixPositionByVirtualKey(vk)) return p;
    return matrixPositionByScanCode(key.scanCode & 0x7F);
}

// A cursor or block key's guest code, or 0 for any other key. May clear the Ctrl of the
// snapshot (Home and End in document mode ignore it).
uint8_t cursorKeyCode(uint8_t vk, ModifierSnapshot& m)
{
    const uint8_t alt = m.leftAlt ? GuestKey::AltBit : 0;
    const uint8_t ctrl = m.ctrl ? GuestKey::CtrlBit : 0;
    const uint8_t shift = m.shift ? GuestKey::ShiftBit : 0;
    switch (vk) {
    case VirtualKey::Left:
        return GuestKey::Left + alt + ctrl + shift;
    case VirtualKey::Right:
        return GuestKey::Right + alt + ctrl + shift;
    case VirtualKey::Up:
        return GuestKey::Up + alt + ctrl + shift;
    case VirtualKey::Down:
        return GuestKey::Down + alt + ctrl + shift;
    case VirtualKey::Capital:
        return GuestKey::CapsLock + alt + ctrl + shift;
    case VirtualKey::Prior:
        return GuestKey::PageUp + alt + ctrl;
    case VirtualKey::Next:
        return GuestKey::PageDown + alt + ctrl;
    case VirtualKey::Home:
    case VirtualKey::End: {
        const bool home = vk == VirtualKey::Home;
        if (settings.LegacyHomeEndKeys == 0 && !m.ctrl)
            return (home ? GuestKey::LineStart : GuestKey::LineEnd) + alt + shift;
        m.ctrl = false;
        return (home ? GuestKey::DocumentStart : GuestKey::DocumentEnd) + alt;
    }
    default:
        return 0;
    }
}

void windowsKeyDown(const HostKeyCode& key)
{
    ModifierSnapshot m = readModifiers();
    const uint8_t vk = virtualKeyOf(key, m);
    zlog(LogCat::Keyboard, "KEYDOWN: %x %x %i\r\n", vk, key.scanCode & 0x7F, key.extended() ? 1 : 0);
    if (vk == VirtualKey::Scroll && m.shift && m.ctrl) {
        exitHotKey();
        return;
    }
    if (vk == VirtualKey::F12 && m.shift && m.ctrl) {
        fullScreenHotKey();
        return;
    }
    if (vk == VirtualKey::Cancel && breakArmed()) {
        setTraceBit();
        return;
    }
    if (uint8_t code = cursorKeyCode(vk, m)) {
        pushKey(code);
    } else if (!m.rightAlt) {
        const unsigned index = (m.ctrl ? KeyTableIndex::Ctrl : 0) | (m.shift ? KeyTableIndex::Shift : 0);
        if (uint8_t code = keyTableCode(index, vk)) pushKey(code);
    }
    setMatrixBit(matrixPosition(key, vk), true);
}

void windowsCharacter(char32_t c, bool systemCharacter)
{
    const uint8_t host = unicodeToCp1252(c);
    if (systemCharacter)
        zlog(LogCat::Keyboard, "SYSCHAR: %x %x\r\n", host, 0);
    else
        zlog(LogCat::Keyboard, "CHAR: %x %i %i %i %i\r\n", host, 1, 0, 0, 0);
    const ModifierSnapshot m = readModifiers();
    if (m.ctrl && !m.rightAlt) return;
    if (host == 0) return;  // not in the host code page
    if (uint8_t code = characterCode(host)) pushKey(code);
}

void windowsKeyEvent(const HostKeyEvent& event)
{
    if (!active || minimised) clearMatrix();
    if (!event.pressed) {
        const ModifierSnapshot m = readModifiers();
        setMatrixBit(matrixPosition(event.key, virtualKeyOf(event.key, m)), false);
        return;
    }
    windowsKeyDown(event.key);
    // Characters follow their key-down, as the host's translation posts them.
    const bool system = (snapshot.leftAlt || snapshot.rightAlt) && !snapshot.ctrl;
    for (char32_t c : event.text) windowsCharacter(c, system);
}

}  // namespace

bool keyboardInit()
{
    ring = std::make_unique<RingBuffer>(KeyboardRingSize);
    ringHandle = ringRegister(ring.get());
    keysDown.fill(false);
    key56Down = false;
    trackedLocks = {};
    active = true;
    minimised = false;
    clearMatrix();
    liveModifiers.store(0);
    readModifiers();
    writeLockBytes();
    return true;
}

void keyboardClose()
{
    if (ringHandle) ringUnregister(ringHandle);
    ringHandle = 0;
    ring.reset();
    // The host's lock lights stay as they are: there is no key injection to turn Scroll
    // Lock off again.
    readModifiers();
    hostLockKeysClose();
}

uint32_t keyboardRingHandle() { return ringHandle; }
RingBuffer* keyboardRing() { return ring.get(); }

void keyboardSetLockKeysReader(LockKeysReader reader) { lockReader = reader ? reader : hostLockKeys; }

void pushKey(uint8_t byte)
{
    putByte(byte);
    idleNoteActivity();
    announce();
}

void pushScanCode(bool pressed, uint8_t code)
{
    if (code == Scan::NumLock) return;
    if (pressed && (!active || minimised)) {
        switch (code) {
        case Scan::ScrollLock:
        case Scan::LeftShift:
        case Scan::RightShift:
        case Scan::LeftAlt:
        case Scan::RightAlt:
        case Scan::LeftCtrl:
        case Scan::RightCtrl:
            break;
        default:
            return;
        }
    }
    if (pressed) idleNoteActivity();
    if (ring) {
        if (code & Scan::Extended) putByte(Scan::ExtendedPrefix);
        putByte(uint8_t((code & 0x7F) | (pressed ? 0 : Scan::Release)));
    }
    announce();
}

namespace {
ModifierSnapshot refreshSnapshot()
{
    const LockKeysReader reader = lockReader;
    if (std::optional<HostLockKeys> host = reader ? reader() : std::nullopt) trackedLocks = *host;
    snapshot.numLock = trackedLocks.numLock;
    snapshot.capsLock = trackedLocks.capsLock;
    snapshot.scrollLock = trackedLocks.scrollLock;
    snapshot.shift = keysDown[Scan::LeftShift] || keysDown[Scan::RightShift];
    snapshot.ctrl = keysDown[Scan::LeftCtrl] || keysDown[Scan::RightCtrl];
    snapshot.leftAlt = keysDown[Scan::LeftAlt];
    snapshot.rightAlt = keysDown[Scan::RightAlt];
    snapshot.windowsKey = keysDown[Scan::LeftWindows] || keysDown[Scan::RightWindows];
    capsLockOn.store(snapshot.capsLock);
    return snapshot;
}
}  // namespace

ModifierSnapshot readModifiers() { return refreshSnapshot(); }

bool keyboardKeyEvent(const HostKeyEvent& event)
{
    const uint8_t code = event.key.scanCode;
    if (code == 0 && event.key.virtualKey == 0) return false;  // a key this keyboard does not know
    // The host repeats a held key as further presses; a release ends it.
    if (event.autoRepeat && !event.pressed) return false;
    if (!event.autoRepeat) {
        if (event.pressed && !keysDown[code]) followLockKey(code);
        keysDown[code] = event.pressed;
        updateLiveModifiers();
    }
    const ModifierSnapshot m = readModifiers();

    // Ctrl+Alt+Shift+Tab would be the desktop's; the guest gets it as one code.
    if (event.pressed && code == Scan::Tab && m.ctrl && m.shift && (m.leftAlt || m.rightAlt)) {
        pushKey(GuestKey::AltCtrlShiftTab);
        return true;
    }
    if (settings.KeyboardDriver == KeyboardDriverId::VrosE) {
        // The scan-code source reports changes of state, not the host's repeats; it sees
        // Alt+F4 like any other keys.
        if (!event.autoRepeat) vrosKeyEvent(code, event.pressed);
        return true;
    }
    // Alt+F4 neither closes the window nor reaches the guest as a key.
    const bool altF4 = event.pressed && event.key.virtualKey == VirtualKey::F4 && (m.leftAlt || m.rightAlt) && !m.ctrl;
    if (!altF4) windowsKeyEvent(event);
    return true;
}

void keyboardSetActive(bool nowActive)
{
    if (active == nowActive) return;
    active = nowActive;
    zlog(LogCat::Keyboard, "KBD: Window %s\n", active ? "active" : "inactive");
    if (active) return;
    // Keys held when the focus went never see their release: let go of them now.
    for (unsigned code = 0; code < keysDown.size(); ++code) {
        if (!keysDown[code]) continue;
        keysDown[code] = false;
        if (settings.KeyboardDriver == KeyboardDriverId::VrosE) {
            if (code == Scan::RightAlt)
                pushRightAlt(false);
            else
                pushScanCode(false, uint8_t(code));
        }
    }
    key56Down = false;
    updateLiveModifiers();
    if (settings.KeyboardDriver != KeyboardDriverId::VrosE) clearMatrix();
}

void keyboardSetMinimised(bool nowMinimised)
{
    minimised = nowMinimised;
    if (minimised && settings.KeyboardDriver != KeyboardDriverId::VrosE) clearMatrix();
}

std::array<uint8_t, KeyMatrixSize> keyboardMatrix()
{
    std::array<uint8_t, KeyMatrixSize> copy{};
    for (size_t i = 0; i < KeyMatrixSize; ++i) copy[i] = matrix[i].load();
    return copy;
}

int32_t inpGetCapsLock(unsigned)
{
    // The host's own state when it can be read here, else what the key events showed.
    const LockKeysReader reader = lockReader;
    const std::optional<HostLockKeys> host = reader ? reader() : std::nullopt;
    cpu.D[CapsLockRegister] = (host ? host->capsLock : capsLockOn.load()) ? LockOn : 0;
    return HostCallResult::KeepRegisters;
}

int32_t inpGetKeyState(unsigned n)
{
    const std::array<uint8_t, KeyMatrixSize> copy = keyboardMatrix();
    if (!guestWriteFromHost(cpu.A[n], copy.data(), KeyMatrixSize)) return HostCallResult::Illegal;
    return liveModifiers.load();
}

void keyboardInstallHostCalls()
{
    hostCallInstall(HostCallGroupId::Inp, GetCapsLockSlot, inpGetCapsLock);
    hostCallInstall(HostCallGroupId::Inp, GetKeyStateSlot, inpGetKeyState);
}

void keyboardRemoveHostCalls()
{
    hostCallRemove(HostCallGroupId::Inp, GetCapsLockSlot);
    hostCallRemove(HostCallGroupId::Inp, GetKeyStateSlot);
}
