#include "bench_jobs.h"

#include <cstdint>

namespace zemprint::bench {

namespace {

constexpr int kLinesPerPage = 64;
constexpr int kColumns = 80;
constexpr char kFormFeed = '\f';
const std::string kNewLine = "\r\n";

std::string esc(const std::string& rest) { return "\x1b" + rest; }
std::string esc(std::initializer_list<std::uint8_t> bytes)
{
    std::string s = "\x1b";
    for (std::uint8_t b : bytes) s += static_cast<char>(b);
    return s;
}

// Deterministic filler text: words of varying length from a small generator.
class Words {
public:
    std::string line(int length)
    {
        std::string text;
        while (static_cast<int>(text.size()) < length) {
            state_ = state_ * 1103515245u + 12345u;
            const int wordLength = 2 + static_cast<int>((state_ >> 16) % 9);
            for (int i = 0; i < wordLength && static_cast<int>(text.size()) < length; ++i)
                text += static_cast<char>('a' + (state_ >> (i + 3)) % 26);
            if (static_cast<int>(text.size()) < length) text += ' ';
        }
        return text;
    }

private:
    std::uint32_t state_ = 12345;
};

// ESC ( - score line: d1 1 under, 2 through, 3 over; d2 the style.
std::string scoreLine(int d1, int d2) { return esc({'(', '-', 3, 0, 1, std::uint8_t(d1), std::uint8_t(d2)}); }

// ESC * 39: 24-dot bit image of n columns at 180 dpi, a diagonal pattern.
std::string bitImage(int columns, int seed)
{
    std::string s = esc({'*', 39, std::uint8_t(columns & 0xFF), std::uint8_t(columns >> 8)});
    for (int c = 0; c < columns; ++c)
        for (int b = 0; b < 3; ++b) s += static_cast<char>(((c + seed) * 37 + b * 91) & 0xFF);
    return s;
}

}  // namespace

std::string textJob(int pages)
{
    Words words;
    std::string job = esc("@");
    for (int page = 0; page < pages; ++page) {
        for (int line = 0; line < kLinesPerPage; ++line) job += words.line(kColumns) + kNewLine;
        job += kFormFeed;
    }
    return job;
}

std::string mixedJob(int pages)
{
    Words words;
    std::string job = esc("@");
    for (int page = 0; page < pages; ++page) {
        job += esc("P") + esc("E") + "Page " + std::to_string(page + 1) + esc("F") + kNewLine + kNewLine;
        job += esc("-1") + words.line(30) + esc({'-', 0}) + " " + esc("4") + words.line(20) + esc("5") + kNewLine;
        job += scoreLine(2, 1) + words.line(24) + scoreLine(2, 0) + " " + scoreLine(3, 6) + words.line(24) +
               scoreLine(3, 0) + kNewLine;
        for (int row = 0; row < 6; ++row)
            job += words.line(8) + "\t" + words.line(8) + "\t" + words.line(8) + "\t" + words.line(8) + kNewLine;
        job += esc("p1");
        for (int line = 0; line < 8; ++line) job += words.line(90) + kNewLine;
        job += esc({'p', 0}) + esc("M");
        for (int line = 0; line < 6; ++line) job += words.line(90) + kNewLine;
        job += esc("g") + "\x0f";
        for (int line = 0; line < 6; ++line) job += words.line(120) + kNewLine;
        job += '\x12';  // condensed off
        job += esc("P") + esc({'W', 1}) + words.line(30) + esc({'W', 0}) + kNewLine;
        job += esc({'w', 1}) + words.line(40) + esc({'w', 0}) + kNewLine;
        job += esc({'q', 2}) + words.line(30) + esc({'q', 0}) + " " + esc({'r', 5}) + words.line(20) + esc({'r', 0}) +
               kNewLine;
        job += 'H';
        job += esc({'S', 1}) + "2" + esc("T") + "O, E=mc" + esc({'S', 0}) + "2" + esc("T") + kNewLine;
        // Character tables: PC437 in slot 1, the German set, then back.
        job += esc({'(', 't', 3, 0, 1, 1, 0}) + esc({'t', 1});
        for (int c = 0xB0; c < 0xE0; ++c) job += static_cast<char>(c);
        job += kNewLine + esc({'R', 2}) + "[\\]{|}~ " + esc({'R', 0}) + esc({'t', 0});
        for (int c = 0x80; c < 0xB0; ++c) job += static_cast<char>(c);
        job += kNewLine + esc({'k', 10}) + esc("p1") + words.line(70) + kNewLine + esc({'k', 11}) + words.line(70) +
               esc({'p', 0}) + esc({'k', 0}) + kNewLine;
        job += bitImage(360, page) + kNewLine + bitImage(720, page + 1) + kNewLine;
        for (int line = 0; line < 12; ++line) job += words.line(kColumns) + kNewLine;
        job += kFormFeed;
    }
    return job;
}

std::string mixedTextJob(int pages)
{
    Words words;
    std::string job = esc("@") + esc({'D', 8, 16, 24, 32, 40, 48, 56, 64, 0});
    for (int page = 0; page < pages; ++page) {
        for (int line = 0; line < kLinesPerPage; ++line) {
            // Each line in its own pitch; bold, italic and underlined words
            // and tab stops in between.
            switch (line % 4) {
            case 0:
                job += esc("P");
                break;
            case 1:
                job += esc("M");
                break;
            case 2:
                job += esc("g");
                break;
            default:
                job += esc("P") + esc("p1");
                break;
            }
            job += words.line(10) + esc("E") + words.line(8) + esc("F") + "\t" + esc("4") + words.line(12) + esc("5") +
                   "\t" + esc("-1") + words.line(10) + esc({'-', 0}) + " " + words.line(20);
            if (line % 4 == 3) job += esc({'p', 0});
            job += kNewLine;
        }
        job += kFormFeed;
    }
    return job;
}

}  // namespace zemprint::bench
