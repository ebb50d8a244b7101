#include "devices/cd/cd_simulated_drive.h"

#include "devices/cd/cd_time.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

constexpr unsigned MaxTrack = 99;
constexpr unsigned MaxSpeed = 10000;
constexpr int MaxDriveError = 0xFFFF;

constexpr const char* CallNames[] = {"open", "eject", "close",  "status", "toc",
                                     "play", "pause", "resume", "stop",   "position"};
static_assert(std::size(CallNames) == size_t(CdSimCall::Count));

// "mm:ss:ff" with seconds below 60 and frames below 75.
std::optional<uint32_t> parseMsf(const std::string& text)
{
    unsigned m = 0, s = 0, f = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u:%u:%u%c", &m, &s, &f, &tail) != 3) return std::nullopt;
    if (s >= CdTime::SecondsPerMinute || f >= CdTime::FramesPerSecond || m > 999) return std::nullopt;
    return (m * CdTime::SecondsPerMinute + s) * CdTime::FramesPerSecond + f;
}

std::optional<unsigned> parseNumber(const std::string& text, unsigned low, unsigned high)
{
    unsigned value = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u%c", &value, &tail) != 1 || value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace

std::optional<CdDiscDescription> cdParseDescription(const std::string& text, std::string& error)
{
    CdDiscDescription disc;
    bool haveLeadOut = false;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string keyword, a, b, extra;
        if (!(words >> keyword)) continue;
        words >> a >> b >> extra;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return std::nullopt;
        };
        if (keyword == "track") {
            const std::optional<unsigned> track = parseNumber(a, 1, MaxTrack);
            const std::optional<uint32_t> start = parseMsf(b);
            if (!track || !start || !extra.empty()) return fail("expected: track <1-99> <mm:ss:ff>");
            if (disc.toc.trackStarts.empty())
                disc.toc.firstTrack = *track;
            else if (*track != disc.toc.lastTrack() + 1)
                return fail("tracks must follow each other");
            else if (*start <= disc.toc.trackStarts.back())
                return fail("a track must start after the one before");
            disc.toc.trackStarts.push_back(*start);
        } else if (keyword == "leadout") {
            const std::optional<uint32_t> end = parseMsf(a);
            if (!end || !b.empty()) return fail("expected: leadout <mm:ss:ff>");
            disc.toc.leadOut = *end;
            haveLeadOut = true;
        } else if (keyword == "nodisc") {
            if (!a.empty()) return fail("nodisc takes nothing");
            disc.hasDisc = false;
        } else if (keyword == "speed") {
            const std::optional<unsigned> speed = parseNumber(a, 1, MaxSpeed);
            if (!speed || !b.empty()) return fail("expected: speed <1-10000>");
            disc.speed = *speed;
        } else if (keyword == "fail") {
            const auto* name = std::find(std::begin(CallNames), std::end(CallNames), a);
            const std::optional<unsigned> code = parseNumber(b, 1, MaxDriveError);
            if (name == std::end(CallNames) || !code || !extra.empty())
                return fail("expected: fail <call> <drive error number>");
            disc.failures[size_t(name - std::begin(CallNames))] = int(*code);
        } else {
            return fail("unknown statement \"" + keyword + "\"");
        }
    }
    if (!disc.hasDisc) {
        disc.toc = CdToc{};
        return disc;
    }
    if (disc.toc.trackStarts.empty()) {
        error = "no tracks (write \"nodisc\" for an empty drive)";
        return std::nullopt;
    }
    if (!haveLeadOut || disc.toc.leadOut <= disc.toc.trackStarts.back()) {
        error = "the lead-out must follow the last track";
        return std::nullopt;
    }
    return disc;
}

CdSimulatedDrive::CdSimulatedDrive(CdDiscDescription disc, Clock clock)
    : disc_(std::move(disc)), clock_(std::move(clock))
{
    if (!clock_)
        clock_ = [] {
            return std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
        };
    if (!disc_.toc.trackStarts.empty()) head_ = disc_.toc.trackStarts.front();
}

int CdSimulatedDrive::open()
{
    if (int e = failure(CdSimCall::Open)) return e;
    open_ = true;
    return CdDriveError::Ok;
}

void CdSimulatedDrive::close() { open_ = false; }

int CdSimulatedDrive::openDoor()
{
    if (int e = failure(CdSimCall::Eject)) return e;
    doorOpen_ = true;
    audio_ = CdAudio::Idle;
    if (!disc_.toc.trackStarts.empty()) head_ = disc_.toc.trackStarts.front();
    return CdDriveError::Ok;
}

int CdSimulatedDrive::closeDoor()
{
    if (int e = failure(CdSimCall::Close)) return e;
    doorOpen_ = false;
    return CdDriveError::Ok;
}

int CdSimulatedDrive::discPresent(bool& present)
{
    if (int e = failure(CdSimCall::Status)) return e;
    present = ready();
    return CdDriveError::Ok;
}

int CdSimulatedDrive::readToc(CdToc& toc)
{
    if (int e = failure(CdSimCall::Toc)) return e;
    if (!ready()) return CdDriveError::NotReady;
    toc = disc_.toc;
    return CdDriveError::Ok;
}

int CdSimulatedDrive::play(uint32_t from, uint32_t to)
{
    if (int e = failure(CdSimCall::Play)) return e;
    if (!ready()) return CdDriveError::NotReady;
    // A real drive refuses such ranges too; the caller should never send them.
    if (from >= to || from < disc_.toc.trackStarts.front() || to > disc_.toc.leadOut) return CdDriveError::OutOfRange;
    audio_ = CdAudio::Playing;
    playFrom_ = head_ = from;
    playTo_ = to;
    playStarted_ = clock_();
    return CdDriveError::Ok;
}

int CdSimulatedDrive::pause()
{
    if (int e = failure(CdSimCall::Pause)) return e;
    if (!ready()) return CdDriveError::NotReady;
    advance();
    if (audio_ == CdAudio::Playing) audio_ = CdAudio::Paused;
    return CdDriveError::Ok;
}

int CdSimulatedDrive::resume()
{
    if (int e = failure(CdSimCall::Resume)) return e;
    if (!ready()) return CdDriveError::NotReady;
    advance();
    if (audio_ == CdAudio::Paused) {
        audio_ = CdAudio::Playing;
        playFrom_ = head_;
        playStarted_ = clock_();
    }
    return CdDriveError::Ok;
}

int CdSimulatedDrive::stop()
{
    if (int e = failure(CdSimCall::Stop)) return e;
    if (!ready()) return CdDriveError::NotReady;
    advance();
    audio_ = CdAudio::Idle;
    return CdDriveError::Ok;
}

int CdSimulatedDrive::subchannel(CdSubchannel& state)
{
    if (int e = failure(CdSimCall::Position)) return e;
    if (!ready()) return CdDriveError::NotReady;
    advance();
    const std::vector<uint32_t>& starts = disc_.toc.trackStarts;
    // The last track whose start lies at or before the head; the lead-in counts to the
    // first track and the lead-out to the last.
    auto after = std::upper_bound(starts.begin(), starts.end(), head_);
    const size_t index = after == starts.begin() ? 0 : size_t(after - starts.begin()) - 1;
    state.audio = audio_;
    state.track = disc_.toc.firstTrack + unsigned(index);
    state.absolute = head_;
    state.relative = head_ > starts[index] ? head_ - starts[index] : 0;
    return CdDriveError::Ok;
}

uint32_t CdSimulatedDrive::framesSince(std::chrono::nanoseconds start) const
{
    const std::chrono::nanoseconds elapsed = clock_() - start;
    if (elapsed.count() <= 0) return 0;
    const long double frames = (long double)elapsed.count() * disc_.speed * CdTime::FramesPerSecond / 1e9L;
    return frames >= (long double)UINT32_MAX ? UINT32_MAX : uint32_t(frames);
}

void CdSimulatedDrive::advance()
{
    if (audio_ != CdAudio::Playing) return;
    const uint64_t at = uint64_t(playFrom_) + framesSince(playStarted_);
    if (at >= playTo_) {
        head_ = playTo_;
        audio_ = CdAudio::Idle;
    } else {
        head_ = uint32_t(at);
    }
}
