// The interpreter built from the program's settings.
#include "printer/escp/escp.h"
#include "printer/settings/settings.h"

namespace zemprint {

namespace {
EscpSettings fromSettings(const TSettings& settings)
{
    EscpSettings result;
    for (int j = 0; j < kCharsetSlotCount; ++j)
        result.charsets[j] = static_cast<std::uint32_t>(settings.values().charsets[j]);
    result.debug = settings.debug;
    result.pins = settings.pins();
    return result;
}
}  // namespace

TESCP::TESCP(TData& data, PageModel& page, const TSettings& settings) : TESCP(data, page, fromSettings(settings)) {}

}  // namespace zemprint
