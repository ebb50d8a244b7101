#include "printer/ui/preview_navigation.h"

#include "printer/base/errors.h"

namespace zemprint {

std::string PreviewNavigation::label() const
{
    if (total_ == 0) return "No pages";
    return formatMessage("Page %d/%d", current_, total_);
}

}  // namespace zemprint
