// Thin host layer for printing: the host's printers and default printer (CUPS), raw
// print jobs, line-printer devices, spool files and starting the printer program.
// Names are UTF-8 here; callers convert from and to the guest's code page.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Why the host refused, in the three classes the guest can tell apart.
enum class HostFailureKind { NotFound, Denied, Other };

struct HostFailure {
    HostFailureKind kind = HostFailureKind::Other;
    int code = 0;      // errno or the CUPS status
    std::string text;  // the host's words for it
};

// Where the bytes of one job go: a device, a spool file or a raw printer job.
class HostPrintTarget {
public:
    virtual ~HostPrintTarget() = default;
    // Hands over up to `length` bytes and returns how many the target took (possibly
    // fewer), or -1 on failure (see failure()). A busy target is waited for until it
    // takes something or `abandon` becomes true (then 0).
    virtual long write(const uint8_t* data, size_t length, const std::atomic<bool>& abandon) = 0;
    // Ends the job and releases the target; false when the host refused (failure()).
    virtual bool close() = 0;
    const HostFailure& failure() const { return failure_; }

protected:
    HostFailure failure_;
};

// Opens a printer device (or anything writable standing in for one) for this process
// alone: a second opener, in this process or another, is refused as Denied.
std::unique_ptr<HostPrintTarget> hostOpenPrinterDevice(const std::string& path, HostFailure& failure);

// Creates a new spool file "ZEMxxxxxx.tmp" in $TMPDIR (else ".") and opens it; `name`
// receives its path.
std::unique_ptr<HostPrintTarget> hostCreateSpoolFile(std::string& name, HostFailure& failure);

// Starts a raw job titled `title` on the printer `printer`. `stage` names the step that
// failed ("create", "document") when nothing is returned.
std::unique_ptr<HostPrintTarget> hostStartRawJob(const std::string& printer, const std::string& title,
                                                 HostFailure& failure, std::string& stage);

// The host's printers in the host's order, or nothing when they cannot be listed.
std::optional<std::vector<std::string>> hostPrinterNames(HostFailure& failure);
// The default printer's name; "" when there is none.
std::string hostDefaultPrinter();

// The device of host parallel port n (1-3). The environment variable ZEM_LPT<n> replaces
// the usual /dev/lp<n-1>, so that tests and unusual set-ups can name another file.
std::string hostParallelDevicePath(int n);

// Starts `program` with `args` as a child the emulator does not wait for (it outlives
// the emulator). False when it could not be started.
bool hostStartDetached(const std::string& program, const std::vector<std::string>& args, HostFailure& failure);
