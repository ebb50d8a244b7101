#include "core/message_box.h"

#include <unistd.h>

namespace {

// One write per box so concurrent log lines cannot split it.
void writeBox(const char* kind, const std::string& caption, const std::string& text)
{
    std::string box = "[";
    box += caption;
    box += "] ";
    box += kind;
    box += text;
    if (box.empty() || box.back() != '\n') box += '\n';
    const char* p = box.data();
    size_t left = box.size();
    while (left > 0) {
        ssize_t n = write(STDERR_FILENO, p, left);
        if (n <= 0) return;
        p += n;
        left -= size_t(n);
    }
}

}  // namespace

void showError(const std::string& caption, const std::string& text) { writeBox("Error: ", caption, text); }

void showInfo(const std::string& caption, const std::string& text) { writeBox("", caption, text); }
