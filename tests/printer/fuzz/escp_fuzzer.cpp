// libFuzzer target: any job runs to its end, or to the job reader's end-of-job
// error, under the address and undefined-behaviour sanitizers. Every other
// exception escapes and counts as a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "printer/job/data.h"
#include "printer/base/errors.h"
#include "printer/escp/escp.h"
#include "printer/base/trace.h"
#include "recording_page_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    using namespace zemprint;
    static const bool quiet = [] {
        setTraceSink([](const std::string&) {});
        return true;
    }();
    (void)quiet;
    if (size == 0) return 0;
    // The first byte chooses the run's options, the rest is the job.
    const std::uint8_t options = bytes[0];
    RecordingPageModel page;
    page.record = (options & 0x01) != 0;
    page.singlePageSelection = (options >> 4) & 0x03;
    EscpSettings settings;
    settings.debug = (options & 0x02) != 0;
    settings.pins = (options & 0x08) != 0 ? 9 : 24;
    TData data;
    data.openBytes(bytes + 1, static_cast<std::int32_t>(size - 1));
    TESCP escp(data, page, settings);
    escp.countAll = (options & 0x04) != 0;
    try {
        escp.run();
    } catch (const EJobLanguage&) {
        // A PostScript, PDF or PCL job, refused before it starts.
    } catch (const EReadError&) {
        // A job cut off inside a command.
    }
    return 0;
}
