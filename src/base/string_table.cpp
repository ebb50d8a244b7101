#include "base/string_table.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Entry {
    int id;
    const char* text;
};

constexpr Entry englishStrings[] = {
    {StringId::CallFailed, "%s failed\nError code %lx."},
    {StringId::CannotAllocateMemory, "Cannot allocate memory."},
    {StringId::ErrorOpeningImage, "Error opening VROSE file.\nCode %lx: %s"},
    {StringId::CorruptImage, "Corrupt VROSE file.\n%d bytes read (%d bytes requested).\nCode %lx: %s"},
    {StringId::IllegalValue, "Illegal value in '%s'."},
    {StringId::ValueOutOfRange, "'%s' must be between %d and %d."},
    {StringId::XResolution, "X resolution"},
    {StringId::YResolution, "Y resolution"},
    {StringId::MemorySize, "Memory size"},
    {StringId::CountryCode, "Country code"},
    {StringId::CannotWriteFile, "Cannot write to file.\n%d bytes written (%d bytes requested).\nCode %lx: %s"},
    {StringId::XWindowSize, "X window size"},
    {StringId::YWindowSize, "Y window size"},
    {StringId::InvalidBaseDirectory,
     "Base directory of DOS%d_ is invalid.\nEnter the full path of a host folder, for example "
     "\"/home/user/ql\" or \"%%HOME%%/ql\"."},
    {StringId::DefaultPrinter, "Default printer"},
    {StringId::Fullscreen, "Fullscreen"},
    {StringId::Resolution, "Resolution"},
    {StringId::WindowSize, "Window size"},
};

constexpr Entry germanStrings[] = {
    {StringId::CallFailed, "%s fehlgeschlagen\nFehlercode %lx."},
    {StringId::CannotAllocateMemory, "Kann keinen Speicher belegen."},
    {StringId::ErrorOpeningImage, "Fehler beim Öffnen der VROSE-Datei.\nCode %lx: %s"},
    {StringId::CorruptImage, "Fehlerhafte VROSE-Datei.\n%d Bytes gelesen (%d Bytes verlangt).\nCode %lx: %s"},
    {StringId::IllegalValue, "Ungültiger Wert in '%s'."},
    {StringId::ValueOutOfRange, "'%s' muss zwischen %d und %d liegen."},
    {StringId::XResolution, "X-Auflösung"},
    {StringId::YResolution, "Y-Auflösung"},
    {StringId::MemorySize, "Speichergröße"},
    {StringId::CountryCode, "Ländercode"},
    {StringId::CannotWriteFile,
     "Kann nicht in die Datei schreiben.\n%d Bytes geschrieben (%d Bytes verlangt).\nCode %lx: %s"},
    {StringId::XWindowSize, "X-Fenstergröße"},
    {StringId::YWindowSize, "Y-Fenstergröße"},
    {StringId::InvalidBaseDirectory,
     "Das Basisverzeichnis von DOS%d_ ist ungültig.\nGeben Sie den vollständigen Pfad eines Ordners an, zum "
     "Beispiel \"/home/benutzer/ql\" oder \"%%HOME%%/ql\"."},
    {StringId::DefaultPrinter, "Standarddrucker"},
    {StringId::Fullscreen, "Vollbild"},
    {StringId::Resolution, "Auflösung"},
    {StringId::WindowSize, "Fenstergröße"},
};

constexpr size_t MaxMessageLength = 255;

const char* find(const Entry* table, size_t count, int id)
{
    for (size_t i = 0; i < count; ++i)
        if (table[i].id == id) return table[i].text;
    return nullptr;
}

std::string formatV(Language language, int id, va_list args)
{
    char text[MaxMessageLength + 1];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int n = vsnprintf(text, sizeof text, loadString(id, language), args);
#pragma GCC diagnostic pop
    if (n < 0) return {};
    return text;
}

}  // namespace

Language hostLanguage()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(name);
        if (!value || !*value) continue;
        return strncmp(value, "de", 2) == 0 ? Language::German : Language::English;
    }
    return Language::English;
}

const char* loadString(int id, Language language)
{
    if (language == Language::German)
        if (const char* text = find(germanStrings, std::size(germanStrings), id)) return text;
    const char* text = find(englishStrings, std::size(englishStrings), id);
    return text ? text : "";
}

const char* loadString(int id) { return loadString(id, Language::English); }

std::string formatString(int id, ...)
{
    va_list args;
    va_start(args, id);
    std::string text = formatV(Language::English, id, args);
    va_end(args);
    return text;
}

std::string formatString(Language language, int id, ...)
{
    va_list args;
    va_start(args, id);
    std::string text = formatV(language, id, args);
    va_end(args);
    return text;
}
