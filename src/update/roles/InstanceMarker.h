// "ready.tmp" in the working folder tells a second copy of the program that one is running:
// the running copy holds an exclusive lock on it for its whole life.
#pragma once

#include <filesystem>

namespace zorvast::update {

class InstanceMarker {
public:
    InstanceMarker() = default;
    ~InstanceMarker();
    InstanceMarker(const InstanceMarker&) = delete;
    InstanceMarker& operator=(const InstanceMarker&) = delete;

    // Creates the marker (the line "ready"), locks it and keeps it open; false when it cannot
    // be created or another process holds it.
    bool hold(const std::filesystem::path& marker);
    void release();
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Deletes a marker nobody holds (left behind by a crash). False when another running copy
// holds it, so the caller ends silently; true when it is gone or never existed.
bool removeStaleMarker(const std::filesystem::path& marker);

// True while a running copy holds the marker; false once it is gone or nobody holds it. Only
// looks: the marker is neither locked for long nor deleted.
bool markerHeld(const std::filesystem::path& marker);

} // namespace zorvast::update
