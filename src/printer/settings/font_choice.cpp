#include "printer/settings/font_choice.h"

#include <array>
#include <strings.h>

#include "printer/base/typefaces.h"

namespace zemprint {

const std::vector<std::string>& fontCandidates(int typeface)
{
    static const std::array<std::vector<std::string>, kTypefaceCount> candidates = {{
        {"CentSchbook Mono BT", "Century Schoolbook Monospace", "Souvenir mono", "Lucida Typewriter EF", "Luxi Mono",
         "Courier New"},
        {"Monospac821 BT", "Letter gothic 12", "Bitstream Vera Sans Mono", "Courier New"},
        {"Courier10 BT", "Courier 10 Pitch", "Courier New"},
        {"Prestige12 BT", "Luxi Mono", "Courier New"},
        {"Script12 BT", "Kathleen", "Courier New"},
        {"OCR-B-10 BT", "OCR-B 10 BT", "OCR-B", "OCRB", "Courier New"},
        {"OCR-A BT", "OCR-A", "OCRA", "STALKER1", "Courier New"},
        {"Orator10 BT", "saxMono", "Courier New"},
        {"Orator15 BT", "saxMono", "Courier New"},
        {"Script12 BT", "Kathleen", "Courier New"},
        {"Times New Roman"},
        {"Arial"},
    }};
    static const std::vector<std::string> none;
    if (typeface < 0 || typeface >= kTypefaceCount) return none;
    return candidates[static_cast<std::size_t>(typeface)];
}

std::string metricTwin(const std::string& faceName)
{
    if (strcasecmp(faceName.c_str(), "Courier New") == 0) return "Liberation Mono";
    if (strcasecmp(faceName.c_str(), "Times New Roman") == 0) return "Liberation Serif";
    if (strcasecmp(faceName.c_str(), "Arial") == 0) return "Liberation Sans";
    return {};
}

std::string findInstalledFamily(const std::vector<std::string>& families, const std::string& name)
{
    if (name.empty()) return {};
    for (const auto& family : families) {
        if (strcasecmp(family.c_str(), name.c_str()) == 0) return family;
    }
    return {};
}

std::string chooseFont(int typeface, const std::vector<std::string>& families)
{
    const auto& candidates = fontCandidates(typeface);
    for (const auto& candidate : candidates) {
        if (auto found = findInstalledFamily(families, candidate); !found.empty()) return found;
    }
    if (!candidates.empty()) {
        if (auto found = findInstalledFamily(families, metricTwin(candidates.back())); !found.empty()) return found;
    }
    return families.empty() ? std::string() : families.front();
}

}  // namespace zemprint
