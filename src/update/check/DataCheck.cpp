#include "update/Messages.h"
#include "update/check/UpdateFlow.h"
#include "update/net/FetchText.h"
#include "update/package/PackageDownload.h"

namespace zorvast::update {

namespace {

using namespace std::chrono_literals;

std::string textOf(const std::function<std::string()>& source) {
    return source ? source() : std::string();
}

// The signed release statement `server` offers, when it has one that verifies with the package
// key. A server without one is taken at its word, as before statements existed.
std::optional<ReleaseStatement> statementOf(UpdateFlow& flow, const std::string& server) {
    const std::string text = flow.fetch(server + kReleaseStatementPath);
    if (text.empty()) {
        return std::nullopt;
    }
    return verifyReleaseStatement(text, flow.packageKey);
}

// A valid data version answer that agrees with the server's own signed statement, if any; the
// statement is kept for the software check and the staleness note.
bool acceptDataAnswer(UpdateFlow& flow, const std::string& server, std::string_view body) {
    std::optional<Version> answer = dataVersionAnswer(body);
    if (!answer) {
        return false;
    }
    std::optional<ReleaseStatement> statement = statementOf(flow, server);
    if (statement && !answer->sameAs(Version(statement->dataVersion))) {
        return false; // contradicts what the maker signed: a stale mirror or a forged answer
    }
    flow.state.setStatement(std::move(statement));
    flow.state.setAnnouncedDataVersion(std::move(*answer));
    return true;
}

// The first data server whose version answer counts, made the server in use; null when none
// answered.
const std::string* firstAnsweringServer(UpdateFlow& flow) {
    UpdateState& state = flow.state;
    state.setServerBase(flow.dataServers.empty() ? std::string() : flow.dataServers.front());
    for (const std::string& server : flow.dataServers) {
        if (acceptDataAnswer(flow, server, flow.fetch(server + "/dv.htm"))) {
            state.setServerBase(server);
            return &server;
        }
    }
    return nullptr;
}

bool newerDataAnnounced(UpdateFlow& flow) {
    return flow.state.announcedDataVersion().newerThan(Version(textOf(flow.dataVersion)));
}

void clearTransferFlags(UpdateState& state) {
    state.dataDownloadActive = false;
    state.softwareDownloadActive = false;
    state.transferRunning = false;
}

} // namespace

std::string UpdateFlow::defaultFetch(const std::string& url) {
    return fetchText(url);
}

void showUpdateText(UpdateFlow& flow, const std::string& downloadLabel,
                    const std::string& statusLine) {
    if (flow.downloadMode) {
        flow.view.setDownloadLabel(downloadLabel);
    } else {
        flow.view.setStatusText(statusLine);
    }
}

void startUpdateWorker(UpdateFlow& flow, const std::string& name, std::function<void()> job) {
    if (!job) {
        return;
    }
    if (flow.hooks.startWorker) {
        flow.hooks.startWorker(name, std::move(job));
    } else {
        job();
    }
}

void runDataCheck(UpdateFlow& flow) {
    UpdateState& state = flow.state;
    flow.clock.sleepFor(1000ms);
    clearTransferFlags(state);
    flow.view.appendStatusText(kStatusSearching);

    const std::string* server = firstAnsweringServer(flow);
    if (!server) {
        // No server: the lists and pages keep their local copies for this run.
        flow.view.setStatusText(statusNoServer(textOf(flow.dataDate)));
        return;
    }
    state.setServerRoot(*server + "/");
    state.serverReached = true;
    if (newerDataAnnounced(flow)) {
        flow.view.setStatusText(kStatusNewDataFound);
        startPackageDownload(flow, PackageKind::Data);
        return; // the apply, or the mirror failure, runs the software check later
    }
    flow.view.setStatusText(statusDataIsCurrent(textOf(flow.dataDate)));
    flow.view.setDeferredTimerInterval(5000);
    if (flow.hooks.runSoftwareCheck) {
        flow.hooks.runSoftwareCheck();
    }
}

void runFirstDataCheck(UpdateFlow& flow) {
    UpdateState& state = flow.state;
    clearTransferFlags(state);
    flow.downloadMode = true;
    flow.view.setDownloadLabel(kLabelSearching);

    if (!firstAnsweringServer(flow)) {
        flow.view.setDownloadLabel(labelNoServer());
        return;
    }
    if (newerDataAnnounced(flow)) {
        flow.view.setDownloadLabel(kLabelDataFound);
        startPackageDownload(flow, PackageKind::Data);
    }
    // Nothing newer: the label stays until the user leaves through "取消并退出".
}

void noteStaleStatement(UpdateFlow& flow) {
    const std::optional<ReleaseStatement> statement = flow.state.statement();
    if (flow.downloadMode || !statement ||
        statementAgeDays(*statement, flow.now()) <= kStaleStatementDays ||
        flow.state.staleStatementShown.exchange(true)) {
        return;
    }
    flow.view.appendStatusText(statusStaleStatement(statement->issued, kStaleStatementDays));
}

void scheduleDeferredReload(UpdateFlow& flow) {
    flow.view.processEvents();
    flow.clock.sleepFor(2000ms);
    flow.state.listsPending = true;
    flow.view.setDeferredTimerInterval(5000);
}

} // namespace zorvast::update
