#include "shell/startup/AppState.h"

namespace zorvast::shell {

void AppState::setDataVersion(std::string text) {
    std::lock_guard lock(mutex_);
    dataVersion_ = std::move(text);
}

std::string AppState::dataVersion() const {
    std::lock_guard lock(mutex_);
    return dataVersion_;
}

void AppState::setDataDate(std::string text) {
    std::lock_guard lock(mutex_);
    dataDate_ = std::move(text);
}

std::string AppState::dataDate() const {
    std::lock_guard lock(mutex_);
    return dataDate_;
}

void AppState::setSatellites(std::vector<SatelliteEntry> entries) {
    std::lock_guard lock(mutex_);
    satellites_ = std::move(entries);
}

std::vector<SatelliteEntry> AppState::satellites() const {
    std::lock_guard lock(mutex_);
    return satellites_;
}

std::optional<SatelliteEntry> AppState::satelliteAt(int index) const {
    const std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= satellites_.size()) {
        return std::nullopt;
    }
    return satellites_[static_cast<std::size_t>(index)];
}

} // namespace zorvast::shell
