#include "info/forum/ForumLoader.h"

#include "info/pages/LocalPages.h"

#include <array>
#include <cstdlib>

namespace zorvast::info {

std::string forumRoot() {
    return forumRootFrom(std::getenv(kForumRootVariable));
}

std::string forumRootFrom(const char* override) {
    std::string root = override && *override ? std::string(override) : std::string(kForumRoot);
    if (root.back() != '/') {
        root += '/';
    }
    return root;
}

bool isForumAvailable(std::string_view probeBody) {
    return probeBody == kForumProbeAnswer;
}

std::vector<std::string> quickEntryNames(std::span<const std::string_view> names,
                                         std::span<const std::string_view> paths) {
    if (names.size() != paths.size()) {
        return {std::string(kQuickEntryError)};
    }
    return {names.begin(), names.end()};
}

std::vector<std::string> quickEntryNames() {
    std::array<std::string_view, kForumSections.size()> names;
    std::array<std::string_view, kForumSections.size()> paths;
    for (std::size_t i = 0; i < kForumSections.size(); ++i) {
        names[i] = kForumSections[i].name;
        paths[i] = kForumSections[i].path;
    }
    return quickEntryNames(names, paths);
}

std::string sectionAddress(const std::string& root, const ForumSection& section) {
    return root + std::string(section.path);
}

std::optional<std::string> quickEntryAddress(const std::string& root, int entryCount,
                                             int selected) {
    if (entryCount < 2 || selected < 0 || selected >= entryCount ||
        selected >= static_cast<int>(kForumSections.size())) {
        return std::nullopt;
    }
    return sectionAddress(root, kForumSections[static_cast<std::size_t>(selected)]);
}

std::optional<int> sectionIndex(std::string_view name) {
    for (std::size_t i = 0; i < kForumSections.size(); ++i) {
        if (kForumSections[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

void forumLoader(InfoState& state, CommunityView& view, const ForumSources& sources) {
    view.setLoadingNoteVisible(true);
    view.browser().navigate(pageToShow(sources.workFolder, kCommunityPage).string());

    const std::string probe =
        sources.fetch ? sources.fetch(sources.root + std::string(kForumProbePage)) : std::string();
    if (isForumAvailable(probe)) {
        state.forumHomePending = true;
        view.setAddressText(sources.root);
        if (sources.setDeferredTimerInterval) {
            sources.setDeferredTimerInterval(kForumHomeTickMs);
        }
        view.setQuickEntryEnabled(true);
    } else {
        view.setQuickEntryEnabled(false);
    }

    view.setQuickEntries(quickEntryNames());
    view.selectQuickEntry(0);

    common::Clock& clock = sources.clock ? *sources.clock : common::systemClock();
    clock.sleepFor(kLoadingNoteTime);
    view.setLoadingNoteVisible(false);
}

bool openCommunityTab(InfoState& state, CommunityView& view, const ForumSources& sources) {
    // The loader's first navigation is queued to the window thread, so the address can still
    // be empty when the tab is selected again right away: the flag keeps it to one loader.
    if (view.browser().address().empty() && !state.forumLoaderStarted.exchange(true)) {
        runWorker(sources.startWorker,
                  [&state, &view, sources] { forumLoader(state, view, sources); });
        return true;
    }
    if (state.tradePostingPending && sources.setDeferredTimerInterval) {
        sources.setDeferredTimerInterval(kTradePostingTickMs);
    }
    return false;
}

void runForumJobs(InfoState& state, CommunityView& view, const std::string& root) {
    if (state.forumHomePending) {
        view.browser().navigate(root);
        state.forumHomePending = false;
    }
    if (state.tradePostingPending) {
        if (const std::optional<int> index = sectionIndex(kTradePostingSection)) {
            view.selectQuickEntry(*index);
            view.browser().navigate(
                sectionAddress(root, kForumSections[static_cast<std::size_t>(*index)]));
        }
        state.tradePostingPending = false;
    }
}

} // namespace zorvast::info
