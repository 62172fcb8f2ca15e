// The local-pages worker of start-up (run again after a data update): the five local pages,
// the data date, the launcher entries and the forum's quick-entry list.
#pragma once

#include "common/Clock.h"
#include "info/pages/LocalPages.h"
#include "shell/startup/AppState.h"
#include "shell/startup/Shortcuts.h"

#include "common/Files.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::shell {

class LocalPagesView {
public:
    virtual ~LocalPagesView() = default;
    virtual void showPage(info::PageView view, const std::filesystem::path& file) = 0;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setForumSections(const std::vector<std::string>& names) = 0;
    virtual void processEvents() = 0;
};

struct LauncherSetup {
    ShortcutPlaces places;
    std::string target;                  // the program file
    std::filesystem::path currentFolder; // where it was started
    std::string icon;
};

using common::fileDateText;

void checkLocalPages(AppState& state, LocalPagesView& view, const LauncherSetup& launcher,
                     common::Clock& clock);

} // namespace zorvast::shell
