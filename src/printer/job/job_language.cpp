#include "printer/job/job_language.h"

#include <algorithm>
#include <cctype>

namespace zemprint {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool isLower(char c) { return c >= 'a' && c <= 'z'; }

// PJL names the language it hands the job to; without it, PJL leads to PCL.
std::string pjlLanguage(std::string_view start)
{
    std::string upper(start);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    const auto enter = upper.find("ENTER LANGUAGE");
    if (enter == std::string::npos) return upper.find("%!") != std::string::npos ? "PostScript" : "PCL";
    const std::string_view rest = std::string_view(upper).substr(enter, 64);
    if (rest.find("POSTSCRIPT") != std::string_view::npos) return "PostScript";
    if (rest.find("PDF") != std::string_view::npos) return "PDF";
    if (rest.find("ESC") != std::string_view::npos) return "";
    return "PCL";
}

// A PCL command: ESC & or ESC * and a lower-case group letter (ESC/P wants a
// NUL or a density byte there), optionally after the PCL reset ESC E.
bool isPclCommand(std::string_view start)
{
    if (startsWith(start,
                   "\x1b"
                   "E\x1b"))
        start.remove_prefix(2);
    return start.size() >= 3 && start[0] == '\x1b' && (start[1] == '&' || start[1] == '*') && isLower(start[2]);
}

}  // namespace

std::string foreignJobLanguage(std::string_view start)
{
    start = start.substr(0, kJobLanguageProbe);
    if (startsWith(start, "\x04")) start.remove_prefix(1);  // the end-of-job byte some spoolers send first
    if (startsWith(start, "%!")) return "PostScript";
    if (startsWith(start, "%PDF-")) return "PDF";
    if (startsWith(start, "\x1b%-12345X") || startsWith(start, "@PJL")) return pjlLanguage(start);
    if (isPclCommand(start)) return "PCL";
    return "";
}

}  // namespace zemprint
