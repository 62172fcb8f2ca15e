// The community tab: the forum server, its probe, the quick-entry list, the loader that
// prepares the tab at its first opening and the forum jobs of the deferred tick.
#pragma once

#include "common/Clock.h"
#include "info/Messages.h"
#include "info/forum/ForumSections.h"
#include "info/pages/BrowserView.h"
#include "info/pages/InfoState.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::info {

// The forum's root, ending in "/".
inline constexpr std::string_view kForumRoot = "http://bbs.zorvast.cn/";
// Replaces the root (tests, private mirrors).
inline constexpr const char* kForumRootVariable = "ZORVAST_FORUM_ROOT";

// The root in force: ZORVAST_FORUM_ROOT when it is set and not empty, else kForumRoot.
std::string forumRoot();
// The same from a given override (null or empty: the built-in root); a missing final "/" is
// added.
std::string forumRootFrom(const char* override);

// The probe page answers exactly this while the forum is up; anything else, even the same
// word with a line break, means it is not.
inline constexpr std::string_view kForumProbePage = "ready1.htm";
inline constexpr std::string_view kForumProbeAnswer = "bbs_plumo";
bool isForumAvailable(std::string_view probeBody);

// The names, or only kQuickEntryError when names and paths differ in count.
std::vector<std::string> quickEntryNames(std::span<const std::string_view> names,
                                         std::span<const std::string_view> paths);
// The same for kForumSections.
std::vector<std::string> quickEntryNames();

// The forum root followed by the section's path.
std::string sectionAddress(const std::string& root, const ForumSection& section);

// Where a new selection in the quick-entry list leads: the selected section's page when the
// list holds the sections (at least two entries); nothing for the error entry or no selection.
std::optional<std::string> quickEntryAddress(const std::string& root, int entryCount, int selected);

// The section the trade tab's "免费发布" link leads to.
inline constexpr std::string_view kTradePostingSection = kSectionTradePosting;
// Position of a section in kForumSections.
std::optional<int> sectionIndex(std::string_view name);

// The "请稍候，正在载入..." note lies over the view this long after the loader has begun.
inline constexpr std::chrono::milliseconds kLoadingNoteTime{4000};
// DeferredTimer intervals that get the forum jobs run soon.
inline constexpr int kForumHomeTickMs = 50;
inline constexpr int kTradePostingTickMs = 200;

// The community tab as the loader and the deferred tick see it. Calls may come from a worker;
// an implementation carries them to the window thread in order. Texts are UTF-8.
class CommunityView {
public:
    virtual ~CommunityView() = default;
    virtual BrowserView& browser() = 0;
    virtual void setLoadingNoteVisible(bool visible) = 0;
    virtual void setAddressText(const std::string& text) = 0;
    virtual void setQuickEntryEnabled(bool enabled) = 0;
    // Clears the list and fills it with `names`.
    virtual void setQuickEntries(const std::vector<std::string>& names) = 0;
    // Selects an entry without running the selection's handler (-1 or out of range: none).
    virtual void selectQuickEntry(int index) = 0;
};

struct ForumSources {
    std::string root; // forumRoot() in the program
    // GBK body, or "" on any failure (update::fetchText in the program).
    std::function<std::string(const std::string& url)> fetch;
    std::filesystem::path workFolder;
    // Called from the loader's worker thread as well as from the window thread.
    std::function<void(int milliseconds)> setDeferredTimerInterval;
    StartWorker startWorker;        // none: the loader runs on the calling thread
    common::Clock* clock = nullptr; // the system clock when null
};

// Prepares the community tab (a worker): the local placeholder page, the probe, the
// quick-entry list, and the loading note for four seconds.
void forumLoader(InfoState& state, CommunityView& view, const ForumSources& sources);

// The community tab was selected. At the first opening (the browser has no address yet) the
// loader starts on a worker; later, a pending trade posting request gets the deferred tick
// run shortly. Returns true when the loader was started.
bool openCommunityTab(InfoState& state, CommunityView& view, const ForumSources& sources);

// The forum jobs of the deferred tick (window thread): the forum root once the probe has
// succeeded, then the trade posting section when it was asked for.
void runForumJobs(InfoState& state, CommunityView& view, const std::string& root);

} // namespace zorvast::info
