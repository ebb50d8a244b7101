#include "printer/preview_navigation.h"

#include "printer/errors.h"

namespace zemprint {

std::string PreviewNavigation::label() const
{
    if (total_ == 0) return "No pages";
    return formatMessage("Page %d/%d", current_, total_);
}

}  // namespace zemprint
