#include "printer/job/command_line.h"

#include <optional>

#include "printer/base/errors.h"
#include "printer/job/temp_file.h"

namespace zemprint {

namespace {
constexpr std::size_t kMaxArguments = 2;
}

namespace {

// The value of option `name` at args[i] ("--name VALUE" or "--name=VALUE");
// i moves past it. Empty optional when args[i] is not that option.
std::optional<std::string> optionValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name)
{
    const std::string& arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size()) throw EZEMPrint("Option " + name + " needs a value");
        return args[++i];
    }
    if (arg.rfind(name + "=", 0) == 0) return arg.substr(name.size() + 1);
    return std::nullopt;
}

}  // namespace

IntakePlan planIntake(const std::vector<std::string>& allArgs)
{
    IntakePlan plan;
    std::vector<std::string> args;
    for (std::size_t i = 0; i < allArgs.size(); ++i) {
        if (const auto pins = optionValue(allArgs, i, "--pins")) {
            if (*pins != "9" && *pins != "24") throw EZEMPrint("Illegal value for --pins: \"" + *pins + "\" (9 or 24)");
            plan.pins = std::stoi(*pins);
        } else if (const auto paper = optionValue(allArgs, i, "--paper")) {
            if (paper->empty()) throw EZEMPrint("Option --paper needs a value");
            plan.paperSize = *paper;
        } else {
            args.push_back(allArgs[i]);
        }
    }
    if (args.size() > kMaxArguments) throw EZEMPrint("Illegal parameters");
    if (args.size() >= 2) plan.printerName = args[1];
    if (args.empty()) {
        plan.source = JobSource::SamplePage;
        plan.deleteJobFile = true;
        plan.alwaysShowDialog = true;
    } else if (args[0] == "-") {
        plan.source = JobSource::StandardInput;
        plan.deleteJobFile = true;
    } else {
        plan.source = JobSource::File;
        plan.jobFile = args[0];
        plan.deleteJobFile = hasTmpExtension(args[0]);
    }
    return plan;
}

InfoRequest infoRequest(const std::vector<std::string>& args)
{
    if (args.size() != 1) return InfoRequest::None;
    if (args[0] == "--help" || args[0] == "-h") return InfoRequest::Help;
    if (args[0] == "--version") return InfoRequest::Version;
    return InfoRequest::None;
}

std::string helpText(const std::string& programName)
{
    return "Usage: " + programName +
           " [--pins 9|24] [--paper SIZE] [JOB [PRINTER]]\n"
           "Prints one ESC/P or ESC/P2 print job.\n"
           "\n"
           "  JOB      file with the printer data, or - to read the job from standard\n"
           "           input; without JOB the built-in sample page is printed.\n"
           "           A JOB whose extension is .tmp is deleted after printing.\n"
           "  PRINTER  CUPS printer name (default: the CUPS default printer), or a\n"
           "           path ending in .pdf (one PDF file) or .png (one PNG file per\n"
           "           page, numbered NAME-1.png, NAME-2.png, ...).\n"
           "\n"
           "  --pins 9|24   the printer model for this run: 9-pin (ESC/P) or 24-pin\n"
           "                (ESC/P2); the setting Pins in ZEMPrint.ini otherwise\n"
           "  --paper SIZE  paper of PDF and PNG output: A3, A4, A5, B5, Letter, Legal,\n"
           "                Executive, Tabloid; the setting PaperSize otherwise, else\n"
           "                the locale's (Letter in the US, A4 elsewhere)\n"
           "  -h, --help    show this text and exit\n"
           "  --version     show the version and exit\n"
           "\n"
           "The settings window shows when a display is there and either no JOB is\n"
           "given or the setting HideDialog is off. Without a display the job is\n"
           "printed as if Print had been pressed. Debug lines go to standard error\n"
           "only with the Debug setting on or ZEMPRINT_DEBUG=1 in the environment.\n"
           "\n"
           "Settings are kept in $XDG_CONFIG_HOME/zemprint/ZEMPrint.ini (default\n"
           "~/.config), or in ZEMPrint.ini beside the program when that file exists;\n"
           "the environment variable ZEMPRINT_INI names another settings file.\n";
}

}  // namespace zemprint
