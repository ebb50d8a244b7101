#include "printer/command_line.h"

#include "printer/errors.h"
#include "printer/temp_file.h"

namespace zemprint {

namespace {
constexpr std::size_t kMaxArguments = 2;
}

IntakePlan planIntake(const std::vector<std::string>& args)
{
    if (args.size() > kMaxArguments)
        throw EZEMPrint("Illegal parameters");
    IntakePlan plan;
    if (args.size() >= 2)
        plan.printerName = args[1];
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
    if (args.size() != 1)
        return InfoRequest::None;
    if (args[0] == "--help")
        return InfoRequest::Help;
    if (args[0] == "--version")
        return InfoRequest::Version;
    return InfoRequest::None;
}

std::string helpText(const std::string& programName)
{
    return "Usage: " + programName + " [JOB [PRINTER]]\n"
           "Prints one ESC/P or ESC/P2 print job.\n"
           "\n"
           "  JOB      file with the printer data, or - to read the job from standard\n"
           "           input; without JOB the built-in sample page is printed.\n"
           "           A JOB whose extension is .tmp is deleted after printing.\n"
           "  PRINTER  CUPS printer name (default: the CUPS default printer), or a\n"
           "           path ending in .pdf (one PDF file) or .png (one PNG file per\n"
           "           page, numbered NAME-1.png, NAME-2.png, ...).\n"
           "\n"
           "  --help     show this text and exit\n"
           "  --version  show the version and exit\n"
           "\n"
           "Settings are kept in ZEMPrint.ini beside the program, or in the user's\n"
           "configuration directory when that folder is not writable; the environment\n"
           "variable ZEMPRINT_INI names another settings file.\n";
}

}  // namespace zemprint
