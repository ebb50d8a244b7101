#include "display/display_back_end.h"

namespace {
std::string sizeText(unsigned w, unsigned h) { return std::to_string(w) + "x" + std::to_string(h); }
}  // namespace

bool HeadlessBackEnd::init()
{
    record("init");
    return true;
}

void HeadlessBackEnd::cleanup() { record("cleanup"); }

bool HeadlessBackEnd::setWindowMode(ClientSize client, unsigned guestWidth, unsigned guestHeight)
{
    record("set window mode " + sizeText(client.width, client.height) + " for " + sizeText(guestWidth, guestHeight));
    frame_.resize(guestWidth, guestHeight, format_);
    return true;
}

bool HeadlessBackEnd::resize(ClientSize client)
{
    record("resize " + sizeText(client.width, client.height));
    return true;
}

void HeadlessBackEnd::cleanupMode() { record("cleanup mode"); }

bool HeadlessBackEnd::lock(HostSurface& surface)
{
    if (frame_.width() == 0) return false;
    surface = frame_.surface();
    return true;
}

void HeadlessBackEnd::unlock() {}

void HeadlessBackEnd::present() {}

std::vector<std::string> HeadlessBackEnd::requests() const
{
    std::lock_guard lock(requestLock_);
    return requests_;
}

void HeadlessBackEnd::clearRequests()
{
    std::lock_guard lock(requestLock_);
    requests_.clear();
}

void HeadlessBackEnd::record(std::string text)
{
    std::lock_guard lock(requestLock_);
    requests_.push_back(std::move(text));
}
