// The information pages as the main window runs them: the trade and community tabs given what
// they need, the buttons that open the parameter site, the news tab's two lists and the two
// refresh links with their shared lock-out.
#pragma once

#include "common/Clock.h"
#include "common/WorkerPool.h"
#include "info/lists/NewsLists.h"
#include "info/pages/InfoState.h"
#include "shell/startup/AppState.h"
#include "update/check/UpdateState.h"

#include <QObject>

#include <functional>

namespace zorvast::shell::ui {

class MainWindow;
class UpdateWindowView;

// What the information pages work with; all of it outlives the wiring.
struct InformationParts {
    MainWindow& window;
    AppState& state;
    info::InfoState& infoState;
    update::UpdateState& updateState;
    UpdateWindowView& updateView; // its deferred timer serves the forum jobs too
    common::Clock& clock;
    common::WorkerStarter& workers;
};

class InformationWiring : public QObject {
    Q_OBJECT
public:
    explicit InformationWiring(InformationParts parts, QObject* parent = nullptr);

    // Loads one list of the news tab: the server's when one was reached, else the cached or
    // the shipped one. Runs on the calling thread (a worker or the window thread).
    void loadNewsList(info::ListKind kind);

private:
    void attachTradeTab();
    void attachCommunityTab();
    void connectSiteButtons();
    void refreshWithLockOut(const std::function<void()>& reload);
    void refreshNewsTab();
    void refreshTradeTab();
    void startPagesWorker(std::function<void()> job);

    InformationParts parts_;
};

} // namespace zorvast::shell::ui
