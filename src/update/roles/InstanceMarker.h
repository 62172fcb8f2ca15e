// "ready.tmp" in the working folder tells a second copy of the program that one is running:
// the running copy holds an exclusive lock on it for its whole life.
#pragma once

#include <filesystem>

namespace zorvast::update {

// What became of an attempt on the marker. Only a lock another process holds on our own
// regular file means another copy runs; anything else that goes wrong (a link or a folder at
// that name, a file of another user, no permission, a full disk) is an Error.
class MarkerResult {
public:
    enum Value { Ok, OtherCopyRuns, Error };

    constexpr MarkerResult(Value value) : value_(value) {}
    constexpr Value value() const { return value_; }
    // True only for Ok, so `if (!marker.hold(...))` still reads as "could not go on".
    constexpr explicit operator bool() const { return value_ == Ok; }
    constexpr bool operator==(const MarkerResult&) const = default;

private:
    Value value_;
};

class InstanceMarker {
public:
    InstanceMarker() = default;
    ~InstanceMarker();
    InstanceMarker(const InstanceMarker&) = delete;
    InstanceMarker& operator=(const InstanceMarker&) = delete;

    // Creates the marker (mode 0600, the line "ready"), locks it and keeps it open. Never
    // follows a link at that name; an existing file must be a regular file of ours.
    MarkerResult hold(const std::filesystem::path& marker);
    void release();
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Deletes a marker nobody holds (left behind by a crash). Ok when it is gone or never
// existed; OtherCopyRuns when another running copy holds it; Error when it cannot be examined
// or deleted, or is not a regular file of ours (it is then left as it is).
MarkerResult removeStaleMarker(const std::filesystem::path& marker);

// True while a running copy holds the marker; false once it is gone, nobody holds it or it is
// not a regular file of ours. Only looks: the marker is neither locked for long nor deleted.
bool markerHeld(const std::filesystem::path& marker);

} // namespace zorvast::update
