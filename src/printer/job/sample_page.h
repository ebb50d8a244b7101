// The built-in sample page printed when ZEMPrint is started without a job:
// a title in a large scalable font, then every typeface's alphabet.
#pragma once

#include <cstdint>
#include <vector>

namespace zemprint {

const std::vector<std::uint8_t>& samplePage();

}  // namespace zemprint
