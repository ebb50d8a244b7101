// Random jobs. Bytes at random must end with a page count or the job
// reader's end-of-job error, and every character they print lies on the
// page. Jobs made of random but well-formed commands between words must
// print exactly the words: no parameter or data byte of any command may
// print, and no word may be swallowed.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "escp_test_support.h"

namespace zemprint::test {
namespace {

// Random bytes with the command bytes made frequent, so that the runs reach
// deep into the ESC, ESC ( and graphics-mode tables.
std::string randomJob(std::mt19937& random)
{
    static const std::string kCommandBytes = "\x1b(.GXUVtCc^*K@\x0d\x0a\x0c\x08\x09\x01\x02&%:i";
    std::uniform_int_distribution<int> length(0, 3000);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> pick(0, 3);
    std::uniform_int_distribution<std::size_t> command(0, kCommandBytes.size() - 1);
    std::string job(static_cast<std::size_t>(length(random)), '\0');
    for (char& c : job) c = pick(random) == 0 ? kCommandBytes[command(random)] : static_cast<char>(byte(random));
    return job;
}

TEST(EscpRandom, RandomBytesEndWithAPageCountAndPrintOnThePage)
{
    int pagesSeen = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        const std::string job = randomJob(random);
        EscpRun r;
        r.page.record = false;
        interpret(r, job, {.debug = seed % 2 == 0, .pins = seed % 3 == 0 ? 9 : 24});
        EXPECT_TRUE(r.error.empty() || r.error.rfind("Read beyond end of file ", 0) == 0)
            << "seed " << seed << ": " << r.error;
        for (const auto& page : r.page.pages) {
            for (const auto& c : page.chars) {
                ASSERT_GE(c.x, 0) << "seed " << seed;
                ASSERT_LT(c.x, r.page.pageWidth()) << "seed " << seed;
                ASSERT_GE(c.y, 0) << "seed " << seed;
                ASSERT_LT(c.y, r.page.pageHeight()) << "seed " << seed;
            }
        }
        pagesSeen += r.page.pageCount();
    }
    // The jobs do print: a generator that only made empty runs would test nothing.
    EXPECT_GT(pagesSeen, 100);
}

// Well-formed commands with random parameters and data, none of which may
// print; each keeps letters A to Z printing as themselves.
class CommandMaker {
public:
    explicit CommandMaker(unsigned seed) : random_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    std::string data(int n)
    {
        std::string s;
        for (int i = 0; i < n; ++i) s += static_cast<char>(below(256));
        return s;
    }
    static std::string word(int v) { return bytes({v & 0xFF, (v >> 8) & 0xFF}); }

    std::string command(bool ninePin)
    {
        switch (below(ninePin ? 14 : 22)) {
        case 0:
            return ESC + "E";
        case 1:
            return ESC + "4" + ESC + "-1";
        case 2:
            return ESC + "!" + bytes({below(256)});
        case 3: {  // bit image in a mode of the model
            const int modes24[] = {0, 1, 2, 3, 4, 5, 6, 7, 32, 33, 38, 39, 40, 71, 72, 73};
            const int mode = ninePin ? below(8) : modes24[below(16)];
            const int columns = below(40);
            const int perColumn = ninePin || mode < 32 ? 1 : mode < 64 ? 3 : 6;
            return ESC + "*" + bytes({mode}) + word(columns) + data(columns * perColumn);
        }
        case 4: {  // K, L, Y, Z
            const int columns = below(40);
            return ESC + std::string(1, "KLYZ"[below(4)]) + word(columns) + data(columns);
        }
        case 5: {  // user-defined characters of codes 200 to 202
            std::string s = ESC + "&" + bytes({0, 200, 202});
            for (int i = 0; i < 3; ++i) {
                if (ninePin) {
                    s += data(12);
                } else {
                    const int columns = below(12);
                    s += bytes({below(4), columns, below(4)}) + data(3 * columns);
                }
            }
            return s + ESC + "%" + bytes({below(2)});
        }
        case 6:
            return ESC + ":" + data(3);
        case 7:
            return ESC + "b" + bytes({below(8), 5, 9, 0});
        case 8:
            return ESC + "f" + bytes({below(2), below(4)});
        case 9:
            return ESC + std::string(1, "3AJ"[below(3)]) + bytes({below(40)});
        case 10:
            return bytes({below(2) == 0 ? 1 : 28 + below(4)}) + "\r\n";  // stray control codes
        case 11:
            return ESC + "^" + bytes({below(2)}) + word(2 * 5) + data(10);
        case 12:
            return ESC + "x" + bytes({below(2)}) + ESC + "k" + bytes({below(12)});
        case 13:
            return "\b\b";
        // ESC/P2 only from here.
        case 14: {  // an ESC ( command not acted on, skipped by its length
            const char letters[] = "KSeimsZ";
            const int length = below(12);
            return ESC + "(" + std::string(1, letters[below(7)]) + word(length) + data(length);
        }
        case 15:
            return ESC + "(U" + word(5) + bytes({1 + below(4), 1 + below(4), 1 + below(4)}) +
                   word(below(2) ? 1440 : 2880);
        case 16:
            return ESC + "(" + "\\" + word(4) + word(1440) + word(below(100));
        case 17:
            return graphics();
        case 18: {  // a raster band out of graphics mode
            const int width = below(40);
            return ESC + "." + bytes({0, 10, 10, 1}) + word(width) + data((width + 7) / 8);
        }
        case 19:
            return ESC + "X" + bytes({below(2) ? 0 : 5 + below(50)}) + word(20 + below(40));
        case 20:
            return ESC + "(r" + word(2) + bytes({below(2), 1 << below(3)});
        default:
            return ESC + "(c" + word(4) + word(below(100)) + word(4000 + below(100));
        }
    }

    // Graphics mode with bands of each kind; its end resets the printer.
    std::string graphics()
    {
        std::string s = ESC + "(G" + word(1) + bytes({1});
        for (int n = below(4); n > 0; --n) {
            const int rows = 1 + below(4);
            const int rowBytes = 1 + below(6);
            switch (below(3)) {
            case 0:
                s += ESC + "." + bytes({0, 10, 10, rows}) + word(rowBytes * 8) + data(rows * rowBytes);
                break;
            case 1: {
                // Run-length: each row one repeat.
                s += ESC + "i" + bytes({below(3), 1, 1}) + word(rowBytes) + word(rows);
                for (int r = 0; r < rows; ++r) s += bytes({257 - rowBytes, below(256)});
                break;
            }
            default:
                s += ESC + "i" + bytes({0, 0, 1 + below(2)}) + word(rowBytes) + word(rows) + data(rows * rowBytes);
                break;
            }
            s += ESC + "(v" + word(2) + word(below(60));
        }
        return s + ESC + "@";
    }

private:
    std::mt19937 random_;
};

TEST(EscpRandom, WellFormedCommandsNeverPrintTheirBytes)
{
    for (unsigned seed = 1; seed <= 400; ++seed) {
        CommandMaker maker(seed);
        const bool ninePin = seed % 4 == 0;
        std::string job;
        std::u16string words;
        for (int item = 0; item < 60; ++item) {
            if (maker.below(2) == 0) {
                job += maker.command(ninePin);
                continue;
            }
            const int length = 1 + maker.below(6);
            for (int i = 0; i < length; ++i) {
                const char letter = static_cast<char>('A' + maker.below(26));
                job += letter;
                words += static_cast<char16_t>(letter);
            }
        }
        EscpRun r;
        r.page.record = false;
        interpret(r, job, {.pins = ninePin ? 9 : 24});
        EXPECT_TRUE(r.error.empty()) << "seed " << seed << ": " << r.error;
        std::u16string printed;
        for (char16_t c : r.text())
            if (c != u'|' && c != u' ')  // page ends; ESC f prints blank columns
                printed += c;
        EXPECT_EQ(printed, words) << "seed " << seed;
    }
}

}  // namespace
}  // namespace zemprint::test
