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

} // namespace zorvast::shell
