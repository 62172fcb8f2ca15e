// Fakes and fixtures for the update flows: a view and hooks that record what they are asked in
// one list, a scripted download slot, signed test packages and a program/working folder pair in
// a temporary folder.
#pragma once

#include "JetWriter.h"
#include "channels/store/DatabaseStore.h"
#include "channels/store/StoredFile.h"
#include "common/Clock.h"
#include "common/Files.h"
#include "common/Text.h"
#include "common/Zip.h"
#include "support/TempFolder.h"
#include "update/check/UpdateFlow.h"
#include "update/package/PackageManifest.h"
#include "update/package/PackageSignature.h"
#include "update/roles/InstanceMarker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvast::update::testing {

namespace fs = std::filesystem;
using zorvast::testing::readAll;
using zorvast::testing::TempFolder;

inline const fs::path kSourceDir = ZORVAST_SOURCE_DIR;
// What joins the entries of a mirror list.
inline const std::string kComma = common::toGbk("，").bytes;

inline PublicKey testPublicKey() {
    const auto key = readPublicKeyFile(kSourceDir / "keys/test-package.pub");
    if (!key) {
        throw std::runtime_error("keys/test-package.pub unreadable");
    }
    return *key;
}

inline SecretKey testSecretKey() {
    const auto key = readSecretKeyFile(kSourceDir / "keys/test-package.sec");
    if (!key) {
        throw std::runtime_error("keys/test-package.sec unreadable");
    }
    return *key;
}

// Every call the flows make on the view and the hooks, in order, as one line each.
struct Journal {
    mutable std::mutex mutex;
    std::vector<std::string> lines;

    void add(const std::string& line) {
        std::lock_guard lock(mutex);
        lines.push_back(line);
    }
    std::vector<std::string> all() const {
        std::lock_guard lock(mutex);
        return lines;
    }
    bool has(const std::string& line) const {
        std::lock_guard lock(mutex);
        for (const std::string& l : lines) {
            if (l == line) {
                return true;
            }
        }
        return false;
    }
    int count(const std::string& line) const {
        std::lock_guard lock(mutex);
        int n = 0;
        for (const std::string& l : lines) {
            n += l == line ? 1 : 0;
        }
        return n;
    }
    // Position of the first line equal to `line`, -1 when absent.
    int indexOf(const std::string& line) const {
        std::lock_guard lock(mutex);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i] == line) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    std::string dump() const {
        std::lock_guard lock(mutex);
        std::string text;
        for (const std::string& l : lines) {
            text += "  " + l + "\n";
        }
        return text;
    }
};

class FakeView final : public UpdateView {
public:
    explicit FakeView(Journal& journal) : journal_(journal) {}

    std::string status;
    std::string label;
    std::string version;
    bool barVisible = false;
    int mainBar = 0;
    int windowBar = 0;
    int monitorInterval = -1;
    int deferredInterval = -1;
    bool ended = false;
    bool answerOk = true; // what askOkCancel answers
    std::function<void()> onProcessEvents;

    std::string statusText() override { return status; }
    void setStatusText(const std::string& text) override {
        status = text;
        journal_.add("status " + text);
    }
    void appendStatusText(const std::string& text) override {
        status += text;
        journal_.add("append " + text);
    }
    void setDownloadLabel(const std::string& text) override {
        label = text;
        journal_.add("label " + text);
    }
    void setVersionText(const std::string& text) override {
        version = text;
        journal_.add("version " + text);
    }
    void setDownloadBarVisible(bool visible) override {
        barVisible = visible;
        journal_.add(visible ? "bar shown" : "bar hidden");
    }
    void setBarRange(ProgressBar bar, int minimum, int maximum) override {
        journal_.add(std::string(bar == ProgressBar::Main ? "main" : "window") + " range " +
                     std::to_string(minimum) + "-" + std::to_string(maximum));
    }
    void setBarValue(ProgressBar bar, int value) override {
        (bar == ProgressBar::Main ? mainBar : windowBar) = value;
    }
    int barValue(ProgressBar bar) override {
        return bar == ProgressBar::Main ? mainBar : windowBar;
    }
    void setTransferMonitorInterval(int milliseconds) override {
        monitorInterval = milliseconds;
        journal_.add("monitor " + std::to_string(milliseconds));
    }
    void setDeferredTimerInterval(int milliseconds) override {
        deferredInterval = milliseconds;
        journal_.add("deferred " + std::to_string(milliseconds));
    }
    void processEvents() override {
        if (onProcessEvents) {
            onProcessEvents();
        }
    }
    void showMessage(const std::string& caption, const std::string& text) override {
        journal_.add("message " + caption + " " + text);
    }
    bool askOkCancel(const std::string& caption, const std::string& text) override {
        journal_.add("ask " + caption + " " + text);
        return answerOk;
    }
    void endProgram() override {
        ended = true;
        journal_.add("end program");
    }

private:
    Journal& journal_;
};

// One transfer slot with scripted mirrors. A URL in `served` gets its bytes written to the
// task's file and finishes at once; one in `broken` gets its bytes written and then fails (a
// link that broke and stayed down); one in `hanging` runs until stop() (a mirror still waiting
// for its first byte). Any other URL fails at once, as a dead mirror does after the service's
// own retries.
class FakeDownloader final : public Downloader {
public:
    explicit FakeDownloader(Journal& journal) : journal_(journal) {}

    std::map<std::string, std::string> served;
    std::map<std::string, std::string> broken;
    std::set<std::string> hanging;
    TransferProgress progressNow; // what progress() reports
    std::vector<DownloadTask> tasks;

    void configure(std::size_t blockSize, std::chrono::milliseconds retryWait,
                   int retryCount) override {
        journal_.add("configure " + std::to_string(blockSize) + " " +
                     std::to_string(retryWait.count()) + " " + std::to_string(retryCount));
    }
    void setResumeWaits(std::vector<std::chrono::milliseconds> waits) override {
        std::string line = "resume waits";
        for (const auto wait : waits) {
            line.append(1, ' ').append(std::to_string(wait.count()));
        }
        journal_.add(line);
    }
    void start(const DownloadTask& task) override {
        journal_.add("start " + task.url);
        tasks.push_back(task);
        if (hanging.count(task.url)) {
            active_ = task;
            return;
        }
        const auto deliver = [&task](const std::string& bytes) {
            if (!common::writeFileBytes(task.localFile, bytes)) {
                throw std::runtime_error("cannot write " + task.localFile.string());
            }
        };
        if (const auto found = served.find(task.url); found != served.end()) {
            deliver(found->second);
            notify(task, TransferEvent::SizeKnown, static_cast<double>(found->second.size()));
            notify(task, TransferEvent::Finished, static_cast<double>(found->second.size()));
        } else if (const auto cut = broken.find(task.url); cut != broken.end()) {
            deliver(cut->second);
            notify(task, TransferEvent::Failed, 0);
        } else {
            notify(task, TransferEvent::Failed, 0);
        }
    }
    // The hanging transfer, if any, finishes now with `bytes`.
    void finishHanging(const std::string& bytes) {
        if (!active_) {
            return;
        }
        const DownloadTask task = *std::exchange(active_, std::nullopt);
        common::writeFileBytes(task.localFile, bytes);
        notify(task, TransferEvent::Finished, static_cast<double>(bytes.size()));
    }
    void stop() override {
        journal_.add("stop");
        if (active_) {
            notify(*std::exchange(active_, std::nullopt), TransferEvent::Stopped, 0);
        }
    }
    std::uint64_t takeReceivedBytes() override { return 0; }
    bool running() const override { return active_.has_value(); }
    TransferProgress progress() const override { return progressNow; }

private:
    static void notify(const DownloadTask& task, TransferEvent event, double value) {
        if (task.onEvent) {
            task.onEvent(event, value);
        }
    }

    Journal& journal_;
    std::optional<DownloadTask> active_;
};

// A stored channel database (marker + database[66...]) whose table sys holds `version`, padded
// with empty pages to more than `minimumBytes`.
inline std::string storedDatabaseWithVersion(const std::string& version,
                                             std::size_t minimumBytes = 1000001) {
    using jetwriter::ColumnType;
    std::vector<jetwriter::Table> tables;
    tables.push_back({"sys", {{"s_ver", ColumnType::Text, 20}}, {{version}}});
    tables.push_back({"sup", {{"s_upda", ColumnType::Text, 60}}, {{std::string("中央")}}});
    std::string database = jetwriter::writeDatabase(tables);
    const std::size_t overhead =
        channels::store::kJetHeaderLength - channels::store::kStoredMarker.size();
    while (database.size() - overhead < minimumBytes) {
        database.append(4096, '\0');
    }
    const auto stored = channels::store::storedFromDatabase(
        {reinterpret_cast<const std::uint8_t*>(database.data()), database.size()});
    return {stored.begin(), stored.end()};
}

// The files of a data package: the stored database, both lists and a page.
inline std::vector<common::ArchiveEntry> dataPackageEntries(const std::string& stored,
                                                            common::EntryDate date = {2025, 3, 7}) {
    return {
        {"satdata.str", stored, true, date},
        {"nch.str", "a\r\nb\r\n", true, date},
        {"sng.str", "c\r\n", true, date},
        {"news.htm", "<html>news</html>", true, date},
    };
}

// What the fixture's servers announce, and what signedEntries signs packages as.
inline const std::string kAnnouncedDataVersion = "261210";
inline const std::string kAnnouncedProgramVersion = "1.03";

// The entries with "zorvast.sig" added, signed with `key` exactly as they are.
inline std::vector<common::ArchiveEntry> signedAsIs(std::vector<common::ArchiveEntry> entries,
                                                    const SecretKey& key = testSecretKey()) {
    std::vector<PackageEntry> plain;
    for (const common::ArchiveEntry& e : entries) {
        plain.push_back({e.name, e.data});
    }
    const std::optional<std::string> signature = signPackageEntries(plain, key);
    if (!signature) {
        throw std::runtime_error("cannot sign the test package");
    }
    entries.push_back({kSignatureEntry, *signature, true, entries.front().date});
    return entries;
}

// The entries signed with the test key the way the publisher signs them: with a manifest naming
// them a program (when they hold "plumo.exe") or data of the announced version, unless they
// carry a manifest of their own.
inline std::vector<common::ArchiveEntry> signedEntries(std::vector<common::ArchiveEntry> entries,
                                                       const SecretKey& key = testSecretKey()) {
    const auto has = [&entries](const std::string& name) {
        return std::any_of(entries.begin(), entries.end(),
                           [&name](const common::ArchiveEntry& e) { return e.name == name; });
    };
    if (!has(kManifestEntry)) {
        const bool program = has("plumo.exe");
        entries.push_back(
            {kManifestEntry,
             formatManifest({program ? PackageKind::Software : PackageKind::Data,
                             program ? kAnnouncedProgramVersion : kAnnouncedDataVersion}),
             true, entries.front().date});
    }
    return signedAsIs(std::move(entries), key);
}

// The entries with the manifest that names their kind and version (signed with them when
// signedEntries comes after).
inline std::vector<common::ArchiveEntry> withManifest(std::vector<common::ArchiveEntry> entries,
                                                      PackageKind kind,
                                                      const std::string& version) {
    entries.push_back(
        {kManifestEntry, formatManifest({kind, version}), true, entries.front().date});
    return entries;
}

inline void writeArchive(const fs::path& path, const std::vector<common::ArchiveEntry>& entries) {
    std::string error;
    if (!common::createArchive(path.string(), entries, &error)) {
        throw std::runtime_error(error);
    }
}

// Draws 1, 2, 3 ... so the shuffle keeps the list's order.
inline RandomDraw inOrderDraw() {
    auto next = std::make_shared<int>(0);
    return [next](int count) {
        return (*next)++ % count + 1;
    };
}

// A program folder and a working folder in a temporary folder, the view, hooks that record
// into the journal, and the flow over them.
class FlowFixture {
public:
    FlowFixture()
        : paths(channels::store::storePathsFor(temp.path() / "tmp", temp.path() / "program")),
          store(paths, clock, storeHooks()), view(journal),
          downloader(journal), flow{state, view, downloader, store, clock, downloadMode} {
        fs::create_directories(temp.path() / "tmp");
        fs::create_directories(paths.programFolder);
        fs::create_directories(paths.downloadFolder);
        state.setAnnouncedDataVersion(Version(kAnnouncedDataVersion));
        state.setAnnouncedProgramVersion(Version(kAnnouncedProgramVersion));
        flow.dataServers = {"http://a.test", "http://b.test", "http://c.test", "http://c.test"};
        flow.fetch = [this](const std::string& url) {
            journal.add("fetch " + url);
            const auto found = answers.find(url);
            return found == answers.end() ? std::string() : found->second;
        };
        flow.randomDraw = inOrderDraw();
        flow.packageKey = testPublicKey();
        flow.dataVersion = [this] {
            return localVersion;
        };
        flow.dataDate = [] {
            return std::string("2024年1月1日");
        };
        UpdateHooks& h = flow.hooks;
        h.runSoftwareCheck = [this] {
            journal.add("software check");
        };
        h.startWorker = [this](const std::string& name, std::function<void()> job) {
            journal.add("worker " + name);
            if (runWorkers) {
                job();
            }
        };
        h.startListLoaders = [this] {
            journal.add("list loaders");
        };
        h.checkLocalPages = [this] {
            journal.add("local pages");
        };
        h.setQueryControlsEnabled = [this](bool enabled) {
            controlsEnabled = enabled;
            journal.add(enabled ? "controls enabled" : "controls disabled");
        };
        h.queryButtonEnabled = [this] {
            return controlsEnabled;
        };
        h.closeAllFiles = [this] {
            marker.release();
            journal.add("close all files");
        };
        h.startInstanceMarker = [this] {
            journal.add(marker.hold(paths.instanceMarker) ? "marker held" : "marker failed");
        };
        h.extractCityDatabase = [this] {
            journal.add("city database");
            return cityExtracts;
        };
        h.handOverToRestartHelper = [this] {
            journal.add("hand over");
            return handOverWorks;
        };
        h.databaseInUse = [this] {
            return databaseReads > 0 && databaseReads-- > 0;
        };
        h.handOverToReplaceHelper = [this] {
            journal.add("replace hand over");
            return handOverWorks;
        };
    }

    // The state start-up leaves: the old package beside the program and unpacked in the
    // working folder, the marker held.
    void installRunningData(const std::string& version = "261209") {
        oldPackage = paths.programFolder / "old.zip";
        writeArchive(oldPackage, signedEntries(dataPackageEntries(
                                     storedDatabaseWithVersion(version), {2024, 1, 1})));
        fs::rename(oldPackage, paths.dataPackage);
        oldPackageBytes = readAll(paths.dataPackage.string());
        ASSERT_TRUE(
            common::extractArchive(paths.dataPackage.string(), paths.workFolder.string()).ok);
        ASSERT_TRUE(marker.hold(paths.instanceMarker));
    }

    // A downloaded package as satdata.tmp beside the program.
    void downloadPackage(const std::vector<common::ArchiveEntry>& entries) {
        writeArchive(paths.dataDownload, entries);
        newPackageBytes = readAll(paths.dataDownload.string());
    }

    std::vector<std::string> sleepsInMs() const {
        std::vector<std::string> out;
        for (const auto& s : clock.sleeps()) {
            out.push_back(std::to_string(s.count()));
        }
        return out;
    }

    TempFolder temp;
    Journal journal;
    channels::store::StorePaths paths;
    common::ManualClock clock;
    channels::store::DatabaseStore store;
    UpdateState state;
    FakeView view;
    FakeDownloader downloader;
    std::atomic<bool> downloadMode{false};
    UpdateFlow flow;
    InstanceMarker marker;

    std::map<std::string, std::string> answers; // fetch: URL -> body
    std::string localVersion = "261209";
    bool runWorkers = true;
    bool controlsEnabled = true;
    bool cityExtracts = true;
    bool handOverWorks = true;
    int databaseReads = 0; // looks at databaseInUse that still find an access running
    fs::path oldPackage;
    std::string oldPackageBytes;
    std::string newPackageBytes;

private:
    channels::store::StoreHooks storeHooks() {
        channels::store::StoreHooks hooks;
        hooks.closeOpenFiles = [this] {
            marker.release();
        };
        return hooks;
    }
};

} // namespace zorvast::update::testing
