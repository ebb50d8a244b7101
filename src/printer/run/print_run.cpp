#include "printer/run/print_run.h"

#include <exception>

#include "printer/job/data.h"
#include "printer/base/errors.h"
#include "printer/escp/escp.h"
#include "printer/page/printer.h"
#include "printer/output/printer_setup.h"
#include "printer/settings/settings.h"
#include "printer/base/trace.h"

namespace zemprint {

PrintResult printJob(const TSettings& settings, TPrinterSetup& setup, const std::string& jobFile, int singlePage)
{
    PrintResult result;
    std::exception_ptr failure;
    setDebugTraceEnabled(settings.debug);
    {
        TData data;
        TPrinter printer(settings, setup);
        TESCP escp(data, printer, settings);
        try {
            data.open(jobFile);
            printer.open(setup.printerName());
            printer.setSinglePage(singlePage);
            escp.run();
            result.pages = printer.pageCount();
            printer.close();
        } catch (...) {
            failure = std::current_exception();
            // The pages so far still go out; an error while closing must not
            // hide the one that stopped the run.
            try {
                printer.close();
            } catch (const EZEMPrint&) {
            }
        }
    }
    if (failure) std::rethrow_exception(failure);
    return result;
}

}  // namespace zemprint
