#include "devices/cd/cd_host_error.h"

#include "core/guest_error.h"
#include "platform/cd_drive.h"

int32_t cdGuestError(int driveError)
{
    using namespace CdDriveError;
    switch (driveError) {
    case Ok:
        return 0;
    case InvalidDevice:
    case CannotLoadDriver:
    case FileNotFound:
    case MissingDeviceName:
    case InvalidFile:
        return GuestError::NotFound;
    case BadDeviceName:
        return GuestError::BadName;
    case OutOfMemory:
        return GuestError::OutOfMemory;
    case DeviceOpen:
    case FileRead:
    case FileWrite:
        return GuestError::BadMedium;
    case ParameterOverflow:
        return GuestError::Overflow;
    case BadInteger:
    case ParserInternal:
    case DriverInternal:
    case MissingParameter:
    case OutOfRange:
    case FlagsNotCompatible:
    case BadConstant:
    case BadTimeFormat:
        return GuestError::BadParameter;
    case Unsupported:
        return GuestError::NotImplemented;
    case DeviceLocked:
    case MustUseShareable:
        return GuestError::HostAccessDenied;
    default:
        return GuestError::NotComplete;
    }
}
