// Guest file names on the host-directory drives: a flat guest name (directories joined
// by '_') becomes a host path below the drive's base, and host names come back as guest
// names. Host-side names are held in the host code page here; the file-system layer turns
// them into UTF-8.
#pragma once

#include "platform/fs_host.h"

#include <cstdint>
#include <string>
#include <string_view>

constexpr int DosDriveCount = 8;
constexpr size_t DosHostPathMax = 259;
constexpr size_t DosGuestNameMax = 36;

// A translated name: the drive's base (host form, ending in '/') and the part below it in
// the host code page with '\' between directories. Drive 0 has no base: `rel` is then a
// host path as given, anchored at the current directory and not confined.
class DosPath {
public:
    DosPath() = default;
    DosPath(const DosPath&) = delete;
    DosPath& operator=(const DosPath&) = delete;
    DosPath(DosPath&& other) noexcept { *this = std::move(other); }
    DosPath& operator=(DosPath&& other) noexcept;
    ~DosPath() { fsClose(anchorFd_); }

    int drive = 0;
    std::string base;  // host form, "" for drive 0
    std::string rel;   // host code page

    FsAnchor anchor() const;
    // `rel` (or its first `length` bytes) in host form, relative to the anchor.
    std::string host(size_t length = std::string::npos) const;
    // The whole host path, for log lines and handle records.
    std::string full() const { return base + host(); }
    // Opens the anchor: 0, or the negative errno when the base cannot be opened.
    int openAnchor();
    // Closes it again (records keep no directory open between calls).
    void releaseAnchor();

private:
    int anchorFd_ = -1;
};

// The drive a selector names: 0 stays 0, any other value v gives ((v - 1) AND 7) + 1.
int dosDriveFromSelector(uint32_t selector);

// Guest name -> host path. `extensionRule` allows the '_' -> '.' step; the flag itself is
// read from the settings at every call. 0; NotFound when the base has no full path;
// BadName (logged) when the name would leave the base directory or is too long.
int32_t dosTranslateName(uint32_t driveSelector, std::string_view guestName, bool extensionRule, DosPath& out);

// One host name component (host code page) -> guest characters: the reserved '_' of a
// device stem removed, the forbidden-character bytes back to their characters, '\' to '_'.
std::string dosHostToGuest(std::string_view host);

// A host name without the '_' that marks a reserved device stem (con_ -> con).
std::string dosWithoutReservedMark(std::string_view host);

// Guest characters -> host code page, with the forbidden-character substitution (not the
// trailing blank/dot rule).
std::string dosGuestToHost(std::string_view guest);

// The final-component rules, exposed for the tables of tests.
void dosApplyTrailingRule(std::string& component);
void dosApplyReservedRule(std::string& component);

// Host code page letter case folding used for every name comparison.
std::string dosFold(std::string_view text);
