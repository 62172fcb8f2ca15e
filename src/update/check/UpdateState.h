// The shared record of the online update, and the plain text rules of the checks: the server
// list, version answers and mirror lists.
#pragma once

#include "common/Text.h"
#include "update/check/ReleaseStatement.h"
#include "update/check/Version.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::update {

// The data servers, tried in this order. Server 2 is listed twice so it gets two attempts.
inline constexpr const char* kDataServers[] = {
    "http://data1.zorvast.cn",
    "http://data1.zorvast.net",
    "http://data2.zorvast.cn",
    "http://data2.zorvast.cn",
};

// Replaces the whole list, in order, for tests and private mirrors.
inline constexpr const char* kDataServersVariable = "ZORVAST_DATA_SERVERS";

// The built-in list, or the comma-separated one of ZORVAST_DATA_SERVERS when that is set and
// names at least one server (empty items are dropped).
std::vector<std::string> dataServerList();

// The list an override text names: split at ASCII commas, empty items dropped.
std::vector<std::string> parseServerList(std::string_view commaSeparated);

// Entries of a mirror list body (GBK): split at "，" on character boundaries, each trimmed of
// half- and full-width spaces only and returned as UTF-8. Consecutive separators give empty
// entries, a trailing separator none, an empty body an empty list.
std::vector<std::string> splitMirrorList(const common::Gbk& body);

// Half- and full-width spaces removed from both ends of a GBK text, by characters.
common::Gbk trimSpaces(const common::Gbk& text);

// A random integer from 1 to `count` (count >= 1).
using RandomDraw = std::function<int(int count)>;

// Draws from a generator seeded by the system once per thread.
RandomDraw systemRandomDraw();

// A uniformly random order: positions are drawn from 1..n until each has come up once, and
// the order of their first appearance is the new order.
std::vector<std::string> shuffleMirrors(std::vector<std::string> entries, const RandomDraw& draw);

// How the download service said the transfer in its slot ended.
enum class TransferEnd {
    None, // still running, or not started
    Finished,
    Failed,
    Stopped,
};

// Shared by the checks, the transfer monitor, the apply and the deferred list reload. The
// flags have one writer at a time by the order of the flow; the texts and the list sit behind
// a lock of their own.
class UpdateState {
public:
    UpdateState();

    std::atomic<bool> serverReached{false};
    std::atomic<bool> transferRunning{false};
    std::atomic<bool> dataDownloadActive{false};
    std::atomic<bool> softwareDownloadActive{false};
    std::atomic<bool> listsPending{false};
    std::atomic<double> totalBytes{0.0};
    std::atomic<int> mirrorIndex{0}; // 1-based position in the mirror list of the URL in use
    std::atomic<TransferEnd> transferEnd{TransferEnd::None};
    // A mirror's package was refused for its signed kind or version: the servers have nothing
    // newer to give, which the texts after the last mirror say instead of a connection error.
    std::atomic<bool> releaseRefused{false};
    // The note on an old release statement is given once per run.
    std::atomic<bool> staleStatementShown{false};

    // Everything back to the start-of-run values, serverBase on the first of `servers`.
    void reset(const std::vector<std::string>& servers);

    std::string serverBase() const;
    void setServerBase(std::string base);
    // serverBase + "/" of the server that gave a valid data version answer; empty until then.
    std::string serverRoot() const;
    void setServerRoot(std::string root);

    // The versions the server in use announced ("/dv.htm", "/sv.htm").
    Version announcedDataVersion() const;
    void setAnnouncedDataVersion(Version version);
    Version announcedProgramVersion() const;
    void setAnnouncedProgramVersion(Version version);
    // The signed release statement of the server in use, when it offers one that verifies.
    std::optional<ReleaseStatement> statement() const;
    void setStatement(std::optional<ReleaseStatement> statement);

    std::vector<std::string> mirrorList() const;
    void setMirrorList(std::vector<std::string> entries);
    int mirrorCount() const;
    // Entry `oneBasedIndex` of the list; empty when there is no such entry.
    std::string mirrorAt(int oneBasedIndex) const;

private:
    template <typename T> T read(const T& field) const {
        std::lock_guard lock(mutex_);
        return field;
    }
    template <typename T> void write(T& field, T value) {
        std::lock_guard lock(mutex_);
        field = std::move(value);
    }

    mutable std::mutex mutex_;
    std::string serverBase_;
    std::string serverRoot_;
    Version announcedDataVersion_;
    Version announcedProgramVersion_;
    std::optional<ReleaseStatement> statement_;
    std::vector<std::string> mirrorList_;
};

// Mirror list of `path` ("/du.htm" or "/su.htm") on serverBase: fetched, split and shuffled
// into the state, mirrorIndex set to 1. Returns the list (its first entry is the URL to use).
std::vector<std::string> readMirrorList(UpdateState& state,
                                        const std::function<std::string(const std::string&)>& fetch,
                                        const std::string& path, const RandomDraw& draw);

} // namespace zorvast::update
