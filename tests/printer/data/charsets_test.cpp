#include "printer/data/charsets.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <cerrno>
#include <map>
#include <vector>
#include <optional>
#include <set>
#include <string>

namespace {

// Decodes one byte with the C library's converter, which carries its own copy of the
// code pages and so serves as an independent reference. nullopt: the byte is not
// assigned in that code page.
class ByteDecoder {
public:
    explicit ByteDecoder(const char* codePage) : cd_(iconv_open("UTF-32LE", codePage)) {}
    ~ByteDecoder()
    {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    ByteDecoder(const ByteDecoder&) = delete;
    ByteDecoder& operator=(const ByteDecoder&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<char32_t> decode(unsigned char byte)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char in[1] = {static_cast<char>(byte)};
        unsigned char out[8] = {};
        char* inPtr = in;
        char* outPtr = reinterpret_cast<char*>(out);
        size_t inLeft = 1;
        size_t outLeft = sizeof(out);
        const size_t result = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
        if (result == static_cast<size_t>(-1) || inLeft != 0 || sizeof(out) - outLeft != 4) {
            return std::nullopt;
        }
        return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
    }

private:
    iconv_t cd_;
};

struct CodePageCase {
    std::size_t index;
    const char* iconvName;
    std::set<unsigned> undefined;                 // bytes the code page leaves open (table holds 0)
    std::map<unsigned, char16_t> ownAssignments;  // deliberate departures from the reference
};

const std::vector<CodePageCase>& codePageCases()
{
    static const std::vector<CodePageCase> cases = {
        {1, "CP437", {}, {}},
        {2, "CP850", {}, {}},
        {3, "CP851", {0x91}, {}},
        {4, "CP852", {}, {}},
        {5, "CP855", {}, {}},
        {6, "CP857", {0xD5, 0xE7, 0xF2}, {}},
        {7, "CP861", {}, {}},
        {8, "CP862", {}, {}},
        {9, "CP863", {}, {}},
        {10, "CP865", {}, {}},
        {11, "CP866", {}, {}},
        {12, "CP869", {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x87, 0x93, 0x94}, {}},
        {13, "ISO-8859-1", {}, {}},
        {14, "ISO-8859-2", {}, {}},
        // The Greek table keeps the older assignments in these positions.
        {15,
         "ISO-8859-7",
         {},
         {{0xA1, 0x02BD},
          {0xA2, 0x02BC},
          {0xA4, 0x00A4},
          {0xA5, 0x00A5},
          {0xAA, 0x00AA},
          {0xAE, 0x00AE},
          {0xD2, 0x00A2},
          {0xFF, 0x00FF}}},
        {16, "ISO-8859-15", {}, {}},
    };
    return cases;
}

TEST(Charsets, OrderNamesAndIdentifiers)
{
    struct Expected {
        const char* name;
        std::uint32_t id;
    };
    const std::array<Expected, 17> expected = {{
        {"Italic", 0},
        {"PC437 (US)", 256},
        {"PC850 (Multilingual)", 768},
        {"PC851 (Greek)", 1024},
        {"PC852 (East Europe)", 2560},
        {"PC855 (Cyrillic)", 1536},
        {"PC857 (Turkish)", 2816},
        {"PC861 (Iceland)", 6144},
        {"PC862 (Hebrew)", 3072},
        {"PC863 (Canada-French)", 2048},
        {"PC865 (Norway)", 2304},
        {"PC866 (Latvian)", 3616},
        {"PC869 (Greek)", 3840},
        {"ISO Latin 1 (8859-1)", 32513},
        {"ISO Latin 2 (8859-2)", 32514},
        {"ISO Latin 7 (8859-7)", 32519},
        {"ISO Latin 15 (8859-15)", 32527},
    }};
    ASSERT_EQ(charsetCount(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const TCharset* charset = charsetByIndex(i);
        ASSERT_NE(charset, nullptr);
        EXPECT_EQ(charset->name, expected[i].name) << i;
        EXPECT_EQ(charset->id, expected[i].id) << i;
        EXPECT_EQ(charsetById(expected[i].id), charset) << i;
        EXPECT_EQ(charsetIndexOf(expected[i].id), i);
    }
    EXPECT_EQ(charsetByIndex(expected.size()), nullptr);
}

TEST(Charsets, UnknownIdentifiersFindNothingAndFallBackToPc850)
{
    for (std::uint32_t id : {1u, 255u, 512u, 3584u, 32512u, 32515u, 0xFFFFFFFFu}) {
        EXPECT_EQ(charsetById(id), nullptr) << id;
        EXPECT_FALSE(charsetIndexOf(id).has_value()) << id;
        EXPECT_EQ(charsetByIdOrDefault(id).id, 768u) << id;
    }
    EXPECT_EQ(charsetByIdOrDefault(32514).id, 32514u);
    EXPECT_EQ(kDefaultCharsetId, 768u);
}

TEST(Charsets, SelectorBytesNameTheIdentifier)
{
    struct Case {
        std::uint8_t d2, d3;
        std::uint32_t id;
    };
    for (const Case& c : {Case{1, 0, 256}, Case{14, 32, 3616}, Case{127, 1, 32513}, Case{127, 7, 32519},
                          Case{29, 16, 32513}, Case{29, 7, 32519}, Case{29, 8, 29 * 256 + 8}, Case{0, 0, 0}}) {
        EXPECT_EQ(charsetIdFromSelector(c.d2, c.d3), c.id) << int(c.d2) << "," << int(c.d3);
    }
}

TEST(Charsets, LowerHalfIsTheByteItselfInEveryTable)
{
    for (const TCharset& charset : charsets()) {
        for (unsigned b = 0; b < 128; ++b) {
            ASSERT_EQ(charset.table[b], b) << charset.name << " byte " << b;
        }
    }
}

TEST(Charsets, ItalicRepeatsTheLowerHalf)
{
    const TCharset& italic = *charsetById(0);
    for (unsigned b = 128; b < 256; ++b) {
        EXPECT_EQ(italic.table[b], b - 128) << b;
    }
    EXPECT_EQ(italic.table[0x9B], 0x001B);  // printed as a character, never an escape
}

TEST(Charsets, IsoTablesPassTheC1RangeThrough)
{
    for (std::uint32_t id : {32513u, 32514u, 32519u, 32527u}) {
        const TCharset& charset = *charsetById(id);
        for (unsigned b = 0x80; b < 0xA0; ++b) {
            EXPECT_EQ(charset.table[b], b) << charset.name << " byte " << b;
        }
    }
}

// Every byte of every code page against the C library's converter; the positions the
// code page leaves open must hold 0 and be open in the reference too, and the only other
// differences are the documented ones of the Greek ISO table.
TEST(Charsets, CodePagesMatchTheReferenceConverter)
{
    for (const CodePageCase& c : codePageCases()) {
        const TCharset& charset = *charsetByIndex(c.index);
        ByteDecoder decoder(c.iconvName);
        ASSERT_TRUE(decoder.valid()) << "no converter for " << c.iconvName;
        for (unsigned b = 0; b < 256; ++b) {
            const char16_t actual = charset.table[b];
            const std::optional<char32_t> reference = decoder.decode(static_cast<unsigned char>(b));
            if (c.undefined.contains(b)) {
                EXPECT_EQ(actual, 0) << charset.name << " byte " << std::hex << b;
                EXPECT_FALSE(reference.has_value()) << c.iconvName << " defines byte " << std::hex << b;
            } else if (auto own = c.ownAssignments.find(b); own != c.ownAssignments.end()) {
                EXPECT_EQ(actual, own->second) << charset.name << " byte " << std::hex << b;
                EXPECT_NE(reference, std::optional<char32_t>(own->second))
                    << c.iconvName << " now agrees at byte " << std::hex << b;
            } else {
                ASSERT_TRUE(reference.has_value()) << c.iconvName << " leaves byte " << std::hex << b << " open";
                EXPECT_EQ(char32_t{actual}, *reference) << charset.name << " byte 0x" << std::hex << b << ": U+"
                                                        << unsigned(actual) << " vs U+" << unsigned(*reference);
            }
        }
    }
}

}  // namespace
