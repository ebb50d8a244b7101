#include "printer/ui/message_runner.h"

#include <QMessageBox>
#include <utility>

#include "printer/ui/message.h"

namespace zemprint {

namespace {
MessageBoxRunner& runner()
{
    static MessageBoxRunner current;
    return current;
}
}  // namespace

int runMessageBox(QMessageBox& box)
{
    if (runner()) return runner()(box);
    return box.exec();
}

void setMessageBoxRunner(MessageBoxRunner next) { runner() = std::move(next); }

void showWindowError(const char* text)
{
    const auto box = makeErrorBox(text);
    runMessageBox(*box);
}

}  // namespace zemprint
