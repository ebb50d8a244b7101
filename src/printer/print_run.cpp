#include "printer/print_run.h"

#include <exception>

#include "printer/data.h"
#include "printer/errors.h"
#include "printer/escp.h"
#include "printer/printer.h"
#include "printer/printer_setup.h"
#include "printer/settings.h"
#include "printer/trace.h"

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
