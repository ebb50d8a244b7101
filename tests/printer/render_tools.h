// Reading rendered pages back: words with their boxes from a PDF, and a
// tolerant comparison of page pictures.
#pragma once

#include <QImage>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "run_process.h"

namespace zemprint::test {

// A word as pdftotext -bbox reports it: points from the page's top-left corner.
struct PdfWord {
    int page = 0;  // 1-based
    std::string text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    double centreX() const { return (xMin + xMax) / 2; }
};

// The value of name="..." inside a tag.
inline double tagNumber(const std::string& tag, const std::string& name)
{
    const std::size_t at = tag.find(" " + name + "=\"");
    return at == std::string::npos ? 0.0 : std::stod(tag.substr(at + name.size() + 3));
}

inline std::vector<PdfWord> pdfWords(const std::string& path)
{
    const std::string html = runProcess("/usr/bin/pdftotext", {"-bbox", path, "-"}).out;
    std::vector<PdfWord> words;
    int page = 0;
    std::size_t at = 0;
    while (at < html.size()) {
        const std::size_t nextPage = html.find("<page ", at);
        const std::size_t nextWord = html.find("<word ", at);
        if (nextWord == std::string::npos) break;
        if (nextPage != std::string::npos && nextPage < nextWord) {
            ++page;
            at = nextPage + 1;
            continue;
        }
        const std::size_t close = html.find('>', nextWord);
        const std::size_t end = html.find("</word>", close);
        if (close == std::string::npos || end == std::string::npos) break;
        const std::string tag = html.substr(nextWord, close - nextWord);
        std::string text = html.substr(close + 1, end - close - 1);
        for (const auto& [entity, plain] : {std::pair<std::string, std::string>{"&amp;", "&"},
                                            {"&lt;", "<"},
                                            {"&gt;", ">"},
                                            {"&quot;", "\""},
                                            {"&apos;", "'"}}) {
            for (std::size_t e = text.find(entity); e != std::string::npos; e = text.find(entity, e + 1))
                text.replace(e, entity.size(), plain);
        }
        words.push_back({page, text, tagNumber(tag, "xMin"), tagNumber(tag, "yMin"), tagNumber(tag, "xMax"),
                         tagNumber(tag, "yMax")});
        at = end + 1;
    }
    // pdftotext reads in columns; put the words in lines, top to bottom, each
    // line left to right (words of one line lie within a few points).
    constexpr double kSameLinePt = 3.0;
    std::stable_sort(words.begin(), words.end(), [](const PdfWord& a, const PdfWord& b) {
        return a.page != b.page ? a.page < b.page : a.yMin < b.yMin;
    });
    for (std::size_t first = 0; first < words.size();) {
        std::size_t last = first + 1;
        while (last < words.size() && words[last].page == words[first].page &&
               words[last].yMin - words[first].yMin < kSameLinePt)
            ++last;
        std::stable_sort(words.begin() + static_cast<std::ptrdiff_t>(first),
                         words.begin() + static_cast<std::ptrdiff_t>(last),
                         [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
        first = last;
    }
    return words;
}

inline std::vector<PdfWord> wordsOnPage(const std::vector<PdfWord>& words, int page)
{
    std::vector<PdfWord> result;
    for (const auto& w : words)
        if (w.page == page) result.push_back(w);
    return result;
}

// Pixels whose grey levels differ by more than a third of the range, as a
// share of all pixels; sizes that differ count as everything different.
inline double pictureDifference(const QImage& actual, const QImage& expected)
{
    if (actual.size() != expected.size()) return 1.0;
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage b = expected.convertToFormat(QImage::Format_RGB32);
    long differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = rowA[x];
            const QRgb q = rowB[x];
            const int d =
                std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
            differing += d > 85;
        }
    }
    return static_cast<double>(differing) / (static_cast<double>(a.width()) * a.height());
}

}  // namespace zemprint::test
