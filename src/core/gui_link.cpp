#include "core/gui_link.h"

#include <atomic>

namespace {
std::atomic<const GuiLink*> installed{nullptr};
}

void guiLinkInstall(const GuiLink* link) { installed.store(link, std::memory_order_release); }

const GuiLink* guiLink() { return installed.load(std::memory_order_acquire); }
