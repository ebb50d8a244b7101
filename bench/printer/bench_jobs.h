// Print jobs for the printer benchmark, made up on the spot so that the
// benchmark needs no files: a long plain-text job and a shorter mixed one.
#pragma once

#include <string>

namespace zemprint::bench {

// pages pages of 64 lines of 80 characters at 10 characters per inch, each
// page ended by a form feed.
std::string textJob(int pages);

// pages pages that use attributes, score lines, tabs, proportional text,
// other pitches, character tables, international sets and bit images.
std::string mixedJob(int pages);

// pages pages of 64 lines of text, each line in one of the pitches 10, 12,
// 15 and proportional, with bold, italic and underlined words and tabs.
std::string mixedTextJob(int pages);

}  // namespace zemprint::bench
