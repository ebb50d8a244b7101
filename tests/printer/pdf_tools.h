// Reading print output back: page counts and text of PDF files (poppler-utils).
#pragma once

#include <string>

#include "run_process.h"

namespace zemprint::test {

// Number of pages, or -1 when the file is no readable PDF.
inline int pdfPageCount(const std::string& path)
{
    const auto info = runProcess("/usr/bin/pdfinfo", {path});
    if (info.exitCode != 0) return -1;
    const auto at = info.out.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.out.substr(at + 6));
}

// Text of one page (1-based) or of all pages (0), laid out as on the page.
inline std::string pdfText(const std::string& path, int page = 0)
{
    std::vector<std::string> args = {"-layout"};
    if (page > 0) args.insert(args.end(), {"-f", std::to_string(page), "-l", std::to_string(page)});
    args.insert(args.end(), {path, "-"});
    return runProcess("/usr/bin/pdftotext", args).out;
}

}  // namespace zemprint::test
