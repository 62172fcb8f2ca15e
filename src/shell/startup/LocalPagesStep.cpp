#include "shell/startup/LocalPagesStep.h"

#include "info/forum/ForumSections.h"
#include "shell/Messages.h"

#include <sys/stat.h>

#include <ctime>

namespace zorvast::shell {

void checkLocalPages(AppState& state, LocalPagesView& view, const LauncherSetup& launcher,
                     common::Clock& clock) {
    for (const info::LocalPage& page : info::kStartUpPages) {
        view.showPage(page.view, info::pageToShow(state.paths.workFolder, page));
    }

    if (const auto date = fileDateText(state.paths.storedFile)) {
        state.setDataDate(*date);
        view.setStatusText(messages::kStatusDataDate + *date + messages::kStatusEnd);
    } else {
        state.setDataDate(messages::kNoDataDate);
    }

    renewShortcuts(launcher.places, launcher.target, launcher.currentFolder, launcher.icon, clock,
                   [&] { view.processEvents(); });

    std::vector<std::string> names;
    for (const info::ForumSection& section : info::kForumSections) {
        names.emplace_back(section.name);
    }
    view.setForumSections(names);
    view.processEvents();
}

} // namespace zorvast::shell
