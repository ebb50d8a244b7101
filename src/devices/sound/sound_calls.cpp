#include "devices/sound/sound_calls.h"

#include "config/settings.h"
#include "core/host_call.h"
#include "cpu/cpu.h"
#include "devices/sound/sound_internal.h"

namespace {

namespace Sub {
constexpr unsigned Beep = 0;
constexpr unsigned Control = 1;  // low nibble selects
constexpr unsigned SampledBlock = 2;
constexpr unsigned Chips = 3;  // low nibble selects
constexpr unsigned ChipPlay = 4;
}  // namespace Sub

namespace Control {
constexpr unsigned StopBeep = 0;
constexpr unsigned SampledPlay = 1;
constexpr unsigned SampledStop = 2;
constexpr unsigned BeepActive = 3;
}  // namespace Control

namespace ChipCall {
constexpr unsigned Reset = 0;
constexpr unsigned Stop = 1;
constexpr unsigned Type = 2;
constexpr unsigned Clock = 3;
constexpr unsigned Stereo = 4;
constexpr unsigned Volume = 5;
}  // namespace ChipCall

constexpr uint8_t BeepActiveByte = 0xFF;
constexpr uint32_t LowByte = 0xFF;

unsigned byteOf(uint32_t value) { return value & LowByte; }

int32_t beep(unsigned n)
{
    beeperStart(cpu.A[n]);
    return HostCallResult::KeepRegisters;
}

int32_t control(unsigned selector)
{
    switch (selector) {
    case Control::StopBeep:
        beeperStop();
        break;
    case Control::SampledPlay:
        sampledPlay();
        break;
    case Control::SampledStop:
        sampledStop();
        break;
    case Control::BeepActive:
        cpu.D[7] = (cpu.D[7] & ~LowByte) | (beeperActive() ? BeepActiveByte : 0);
        break;
    default:
        return HostCallResult::Illegal;
    }
    return HostCallResult::KeepRegisters;
}

int32_t sampledBlock(unsigned n)
{
    sampledSetBlock(cpu.A[n]);
    return HostCallResult::KeepRegisters;
}

int32_t chips(unsigned selector)
{
    switch (selector) {
    case ChipCall::Reset:
        chipsReset();
        return HostCallResult::KeepRegisters;
    case ChipCall::Stop:
        return chipStop(byteOf(cpu.D[1]));
    case ChipCall::Type:
        return chipsSetType(byteOf(cpu.D[1]));
    case ChipCall::Clock:
        chipsSetClock(cpu.D[2]);
        return 0;
    case ChipCall::Stereo:
        return chipsSetStereo(byteOf(cpu.D[2]));
    case ChipCall::Volume:
        chipsSetVolume(byteOf(cpu.D[2]));
        return 0;
    default:
        return HostCallResult::Illegal;
    }
}

int32_t chipPlayCall(unsigned n) { return chipPlay(byteOf(cpu.D[1]), cpu.A[n]); }

struct Slot {
    unsigned sub;
    HostOperation operation;
};

const Slot Slots[] = {
    {Sub::Beep, beep},   {Sub::Control, control},       {Sub::SampledBlock, sampledBlock},
    {Sub::Chips, chips}, {Sub::ChipPlay, chipPlayCall},
};

}  // namespace

void soundInstallHostCalls()
{
    for (const Slot& s : Slots) hostCallInstall(HostCallGroupId::Snd, s.sub, s.operation);
}

void soundRemoveHostCalls()
{
    for (const Slot& s : Slots) hostCallRemove(HostCallGroupId::Snd, s.sub);
}

MachinePart soundPart()
{
    return {MachineSlot::Sound,
            [] {
                soundStart(SoundConfig{settings.SoundEnabled, settings.BeepVolume, settings.VSNDVolume});
                soundInstallHostCalls();
                return true;
            },
            [] {
                soundRemoveHostCalls();
                soundShutDown();
            }};
}
