#include "printer/job/data.h"

#include <climits>
#include <cstring>

#include "printer/base/errors.h"
#include "printer/base/trace.h"

namespace zemprint {

void TData::open(const std::string& path)
{
    close();
    if (path.size() >= kMaxJobPathLength) throw EZEMPrint(formatMessage("Illegal filename \"%s\"", path.c_str()));
    if (debugTraceEnabled()) debugTraceF("Trying to open file \"%s\"", path.c_str());
    MappedFile::Failure failure{};
    if (!file_.open(path, failure)) {
        if (failure.step == MappedFile::Step::Open)
            throw EZEMPrint(formatMessage("Cannot open file \"%s\" (Error %i): %s", path.c_str(), failure.error,
                                          std::strerror(failure.error)));
        throw EZEMPrint(formatMessage("Cannot map file \"%s\" (Error %i): %s", path.c_str(), failure.error,
                                      std::strerror(failure.error)));
    }
    data_ = file_.data();
    // Positions are 32-bit signed; a larger job is read up to that limit.
    size_ = file_.size() > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<std::int32_t>(file_.size());
    position_ = 0;
}

void TData::beyondEnd() const { throw EReadError(formatMessage("Read beyond end of file %d", position_)); }

}  // namespace zemprint
