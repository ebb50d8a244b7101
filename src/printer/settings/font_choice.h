// Automatic choice of an installed font family for each printer typeface.
#pragma once

#include <string>
#include <vector>

namespace zemprint {

// Face names tried for typeface t, in order; the host's metric twin of the last
// candidate comes after them.
const std::vector<std::string>& fontCandidates(int typeface);
std::string metricTwin(const std::string& faceName);

// The installed family whose name equals name ignoring case, as it is installed;
// empty when there is none.
std::string findInstalledFamily(const std::vector<std::string>& families, const std::string& name);

// The first installed candidate, then the twin of the last candidate, then the
// first installed family; empty only when no family is installed at all.
std::string chooseFont(int typeface, const std::vector<std::string>& families);

}  // namespace zemprint
