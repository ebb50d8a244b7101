#include "printer/job/sample_page.h"

#include <initializer_list>
#include <string_view>

#include "printer/base/typefaces.h"

namespace zemprint {

namespace {

constexpr std::uint8_t NUL = 0, HT = 9, LF = 10, FF = 12, CR = 13, ESC = 27;
constexpr int kProportionalFromTypeface = 10;

std::vector<std::uint8_t> buildSamplePage()
{
    std::vector<std::uint8_t> page;
    auto add = [&page](std::initializer_list<int> bytes) {
        for (int b : bytes) page.push_back(static_cast<std::uint8_t>(b));
    };
    auto text = [&page](std::string_view s) { page.insert(page.end(), s.begin(), s.end()); };

    // Reset; Roman T; 32-point proportional; 64/360 inch down; two inches in.
    add({ESC, '@', ESC, 'k', 10, ESC, 'X', 1, 64, 0, ESC, '(', 'V', 2, 0, 64, 0, ESC, '$', 120, 0});
    text("ZEMPrint sample page");
    add({CR});
    // Roman; plain; one tab stop at column 22; double height and width;
    // down to 304/360 inch; line spacing 128/360 inch.
    add({ESC, 'k', 0,   ESC, '!', 0,   ESC, 'D', 22, NUL, ESC, 'w', '1',
         ESC, 'W', '1', ESC, '(', 'V', 2,   0,   48, 1,   ESC, '+', 128});
    for (int t = 0; t < kTypefaceCount; ++t) {
        if (t > 0) add({ESC, 'k', t});
        if (t == kProportionalFromTypeface) add({ESC, 'p', '1'});
        text(kTypefaceNames[static_cast<std::size_t>(t)]);
        add({HT});
        text("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        add({CR, LF, HT});
        text("abcdefghijklmnopqrstuvwxyz");
        if (t == 0)
            add({CR, LF});
        else
            add({LF});
    }
    add({FF});
    return page;
}

}  // namespace

const std::vector<std::uint8_t>& samplePage()
{
    static const std::vector<std::uint8_t> page = buildSamplePage();
    return page;
}

}  // namespace zemprint
