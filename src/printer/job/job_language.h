// Tells, from its first bytes, a job written in another printer language
// (PostScript, PDF, PCL) so it can be refused instead of printing its
// commands as pages of text.
#pragma once

#include <string>
#include <string_view>

namespace zemprint {

// The name of the language the job starts in, or empty for ESC/P (and for
// anything not recognised, which is then interpreted as ESC/P).
std::string foreignJobLanguage(std::string_view start);

// How many bytes of the job foreignJobLanguage looks at.
inline constexpr std::size_t kJobLanguageProbe = 4096;

}  // namespace zemprint
