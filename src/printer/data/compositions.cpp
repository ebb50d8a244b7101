#include "printer/data/compositions.h"

#include <array>

namespace {

// Accents as they arrive from the character tables. The circumflex and ring are the
// spacing modifier letters: a plain "^" next to a letter is not an accent here.
constexpr char16_t kDiaeresis = u'"';
constexpr char16_t kTilde = u'~';
constexpr char16_t kRing = u'\u02DA';
constexpr char16_t kCircumflex = u'\u02C6';
constexpr char16_t kAcute = u'\'';
constexpr char16_t kGrave = u'`';
constexpr char16_t kStroke = u'/';
constexpr char16_t kCedilla = u',';

constexpr std::array<Composition, kCompositionCount> kCompositions = {{
    {u'A', kDiaeresis, u'\u00C4'},  {u'a', kDiaeresis, u'\u00E4'},  {u'A', kTilde, u'\u00C3'},
    {u'a', kTilde, u'\u00E3'},      {u'A', kRing, u'\u00C5'},       {u'a', kRing, u'\u00E5'},
    {u'A', kCircumflex, u'\u00C2'}, {u'a', kCircumflex, u'\u00E2'}, {u'A', kAcute, u'\u00C1'},
    {u'a', kAcute, u'\u00E1'},      {u'A', kGrave, u'\u00C0'},      {u'a', kGrave, u'\u00E0'},
    {u'O', kDiaeresis, u'\u00D6'},  {u'o', kDiaeresis, u'\u00F6'},  {u'O', kTilde, u'\u00D5'},
    {u'o', kTilde, u'\u00F5'},      {u'O', kCircumflex, u'\u00D4'}, {u'o', kCircumflex, u'\u00F4'},
    {u'O', kAcute, u'\u00D3'},      {u'o', kAcute, u'\u00F3'},      {u'O', kGrave, u'\u00D2'},
    {u'o', kGrave, u'\u00F2'},      {u'O', kStroke, u'\u00D8'},     {u'o', kStroke, u'\u00F8'},
    {u'O', u'c', u'\u00A9'},        {u'o', u'x', u'\u00A9'},        {u'U', kDiaeresis, u'\u00DC'},
    {u'u', kDiaeresis, u'\u00FC'},  {u'U', kCircumflex, u'\u00DB'}, {u'u', kCircumflex, u'\u00FB'},
    {u'U', kAcute, u'\u00DA'},      {u'u', kAcute, u'\u00FA'},      {u'U', kGrave, u'\u00D9'},
    {u'u', kGrave, u'\u00F9'},      {u'I', kDiaeresis, u'\u00CF'},  {u'i', kDiaeresis, u'\u00EF'},
    {u'I', kCircumflex, u'\u00CE'}, {u'i', kCircumflex, u'\u00EE'}, {u'I', kAcute, u'\u00CD'},
    {u'i', kAcute, u'\u00ED'},      {u'I', kGrave, u'\u00CC'},      {u'i', kGrave, u'\u00EC'},
    {u'C', kCedilla, u'\u00C7'},    {u'c', kCedilla, u'\u00E7'},    {u'C', u'=', u'\u20AC'},
    {u'C', u'-', u'\u20AC'},
}};

}  // namespace

std::span<const Composition, kCompositionCount> compositions() { return kCompositions; }

std::optional<char16_t> composeOverstrike(char16_t first, char16_t second)
{
    for (const Composition& row : kCompositions) {
        if ((row.base == first && row.accent == second) || (row.base == second && row.accent == first)) {
            return row.composite;
        }
    }
    return std::nullopt;
}
