#include "config/command_line.h"

#include "base/message_box.h"
#include "base/version.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

CommandLineOptions commandLine;

namespace {

constexpr const char* HelpText =
    "ZEM command line options:\n\n"
    "-h\t\tThis help\n"
    "-cmdline string\tPass string to ZEM_CMDLINE$ function\n"
    "\t\tEnclose multiple words with \"\"\n"
    "-ini file\t\tSet name of configuration ini file\n"
    "-os file\t\tSet name of operating system file\n"
    "-stretch\t\tForce enabling of window stretching";

enum class OptionKind { Help, Flag, Text, DebugMask };

struct Option {
    const char* name;  // upper case, with the leading '-'
    OptionKind kind;
    std::string CommandLineOptions::*text = nullptr;
    bool CommandLineOptions::*flag = nullptr;
};

// Every option of the emulator; new ones are added here.
const Option options[] = {
    {"-?", OptionKind::Help},
    {"-H", OptionKind::Help},
    {"-CMDLINE", OptionKind::Text, &CommandLineOptions::cmdline},
    {"-INI", OptionKind::Text, &CommandLineOptions::iniFile},
    {"-OS", OptionKind::Text, &CommandLineOptions::osFile},
    {"-DBG", OptionKind::DebugMask},
    {"-STRETCH", OptionKind::Flag, nullptr, &CommandLineOptions::stretch},
    {"-SNAP", OptionKind::Text, &CommandLineOptions::snapFile},
};

std::string normalisedOption(const std::string& arg)
{
    std::string name = arg;
    if (!name.empty() && name[0] == '/') name[0] = '-';
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return name;
}

CommandLineResult illegal(const std::string& what)
{
    showError(Caption::Program, "Illegal command line parameter:\n" + what);
    return CommandLineResult::ExitError;
}

// A decimal number that fits in 32 bits, nothing else: a mask written in another base
// would otherwise be taken as a different number without a word.
bool parseDecimal(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint64_t(c - '0');
    }
    if (v > UINT32_MAX) return false;
    value = uint32_t(v);
    return true;
}

}  // namespace

const char* commandLineHelpText() { return HelpText; }

CommandLineResult parseCommandLine(const std::vector<std::string>& args, CommandLineOptions& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // The usual long options of Linux programs, answered on standard output.
        if (arg == "--help") {
            printf(
                "Usage: zem2 [options]\n\n%s\n-dbg number\tSet the debug log mask (decimal)\n"
                "-snap file\tWrite the guest screen as a PNG file when the guest quits\n"
                "--help\t\tShow this help and exit\n--version\tShow the version and exit\n",
                HelpText);
            return CommandLineResult::ExitOk;
        }
        if (arg == "--version") {
            printf("zem2 %s\n", getReleaseVersion());
            return CommandLineResult::ExitOk;
        }

        std::string name = normalisedOption(arg);
        const Option* option = nullptr;
        for (const Option& o : options)
            if (name == o.name) option = &o;
        if (!option) return illegal(arg);

        switch (option->kind) {
        case OptionKind::Help:
            showInfo(Caption::Program, HelpText);
            return CommandLineResult::ExitOk;
        case OptionKind::Flag:
            out.*(option->flag) = true;
            break;
        case OptionKind::Text:
        case OptionKind::DebugMask:
            if (i + 1 >= args.size()) return illegal("(null)");
            ++i;
            if (option->kind == OptionKind::Text) {
                out.*(option->text) = args[i];
            } else {
                if (!parseDecimal(args[i], out.debugMask)) return illegal(args[i]);
                out.debugMaskGiven = true;
            }
            break;
        }
    }
    return CommandLineResult::Run;
}

CommandLineResult parseCommandLine(int argc, const char* const* argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return parseCommandLine(args, commandLine);
}
