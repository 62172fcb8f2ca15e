#include "shell/ui/WorkerWait.h"

#include "common/ui/UiThread.h"

#include <QEventLoop>
#include <QTimer>

namespace zorvast::shell::ui {

bool waitForWorkers(common::WorkerPool& pool, const std::vector<std::string>& names,
                    std::chrono::milliseconds limit) {
    if (!common::ui::onUiThread()) {
        return pool.waitFor(names, limit);
    }
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Registered before the first look, so that an end in between still wakes the loop; the
    // quit is queued, and dropped with the loop.
    const int listener = pool.addEndListener(
        [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    deadline.start(limit);
    bool ended = !pool.anyRunning(names);
    while (!ended && deadline.isActive()) {
        loop.exec();
        ended = !pool.anyRunning(names);
    }
    pool.removeEndListener(listener);
    return ended;
}

} // namespace zorvast::shell::ui
