// Carrying work from a worker to the window thread, in the order the worker issues it.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <utility>

namespace zorvast::shell::ui {

inline bool onUiThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Queued behind everything the same worker posted before; dropped when `context` is gone.
template <typename F> void postToUi(QObject* context, F&& job) {
    if (onUiThread()) {
        job();
    } else {
        QMetaObject::invokeMethod(context, std::forward<F>(job), Qt::QueuedConnection);
    }
}

// Runs on the window thread and waits for it (message boxes, reading a control).
template <typename F> void runOnUi(QObject* context, F&& job) {
    if (onUiThread()) {
        job();
    } else {
        QMetaObject::invokeMethod(context, std::forward<F>(job), Qt::BlockingQueuedConnection);
    }
}

} // namespace zorvast::shell::ui
