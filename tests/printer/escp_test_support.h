// Runs the interpreter over a byte string with the recording page model and
// collects the debug trace.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "printer/job/data.h"
#include "printer/base/errors.h"
#include "printer/escp/escp.h"
#include "printer/base/trace.h"
#include "recording_page_model.h"

namespace zemprint::test {

struct EscpRun {
    RecordingPageModel page;
    std::vector<std::string> trace;
    std::string error;  // the message of a failure that left the run

    // Text of all pages, pages separated by "|".
    std::u16string text() const
    {
        std::u16string result;
        for (std::size_t i = 0; i < page.pages.size(); ++i) {
            if (i > 0) result += u'|';
            result += page.pages[i].text();
        }
        return result;
    }
    bool traced(const std::string& line) const
    {
        for (const auto& l : trace)
            if (l == line) return true;
        return false;
    }
};

struct EscpOptions {
    bool debug = false;
    bool countAll = false;
    int singlePage = 0;
    std::array<std::uint32_t, 4> charsets{768, 768, 768, 768};
    int pins = 24;
};

inline void interpret(EscpRun& run, const std::string& job, const EscpOptions& options = {})
{
    setTraceSink([&run](const std::string& line) { run.trace.push_back(line); });
    TData data;
    data.openBytes(reinterpret_cast<const std::uint8_t*>(job.data()), static_cast<std::int32_t>(job.size()));
    EscpSettings settings;
    settings.debug = options.debug;
    settings.charsets = options.charsets;
    settings.pins = options.pins;
    run.page.singlePageSelection = options.singlePage;
    TESCP escp(data, run.page, settings);
    escp.countAll = options.countAll;
    try {
        escp.run();
    } catch (const EZEMPrint& failure) {
        run.error = failure.what();
    }
    setTraceSink({});
}

// The escape byte, to be concatenated with the command: ESC "E".
inline const std::string ESC = "\x1b";

inline std::string bytes(std::initializer_list<int> values)
{
    std::string result;
    for (int v : values) result += static_cast<char>(v);
    return result;
}

}  // namespace zemprint::test
