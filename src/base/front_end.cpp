#include "base/front_end.h"

#include "log/log.h"

#include <atomic>
#include <unistd.h>

namespace {

HeadlessFrontEnd headless;
std::atomic<FrontEnd*> installed{nullptr};

}  // namespace

void writeMessageBoxToStandardError(const std::string& caption, const std::string& text, MessageIcon icon)
{
    std::string box = "[";
    box += caption;
    box += "] ";
    if (icon == MessageIcon::Error) box += "Error: ";
    box += text;
    if (box.back() != '\n') box += '\n';
    const char* p = box.data();
    size_t left = box.size();
    while (left > 0) {
        ssize_t n = write(STDERR_FILENO, p, left);
        if (n <= 0) return;
        p += n;
        left -= size_t(n);
    }
}

void HeadlessFrontEnd::messageBox(const std::string& caption, const std::string& text, MessageIcon icon)
{
    writeMessageBoxToStandardError(caption, text, icon);
}

void HeadlessFrontEnd::setWindowTitle(const std::string& title)
{
    zlog(LogCat::General, "ZEM: Window title \"%s\"\r\n", title.c_str());
}

int HeadlessFrontEnd::openFile(const std::string&, const std::string&) { return ShellResult::AssociationIncomplete; }

void frontEndInstall(FrontEnd* frontEnd) { installed.store(frontEnd, std::memory_order_release); }

FrontEnd& frontEnd()
{
    FrontEnd* f = installed.load(std::memory_order_acquire);
    return f ? *f : headless;
}
