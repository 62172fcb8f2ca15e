// The application-wide record that start-up creates and every part of the program shares.
#pragma once

#include "channels/store/DatabaseStore.h"
#include "shell/Messages.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::shell {

// A row of the satellite table `satlist`, all fields as text.
struct SatelliteEntry {
    std::string s_loca;
    std::string s_name;
    std::string s_c;
    std::string s_ku;
    std::string s_min;
    std::string s_max;
    std::string s_rema;
};

inline constexpr std::size_t kSatelliteCapacity = 70;
struct AppState {
    explicit AppState(channels::store::StorePaths storePaths) : paths(std::move(storePaths)) {}

    const channels::store::StorePaths paths;
    std::atomic<bool> downloadMode{false};

    void setDataVersion(std::string text);
    std::string dataVersion() const;
    void setDataDate(std::string text);
    std::string dataDate() const;
    void setSatellites(std::vector<SatelliteEntry> entries);
    std::vector<SatelliteEntry> satellites() const;
    std::optional<SatelliteEntry> satelliteAt(int index) const;

private:
    mutable std::mutex mutex_;
    std::string dataVersion_;
    std::string dataDate_ = messages::kNoDataDate;
    std::vector<SatelliteEntry> satellites_;
};

} // namespace zorvast::shell
