// Carrying a worker's calls over to the window thread, in the order the worker makes them.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <utility>

namespace zorvast::common::ui {

inline bool onUiThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Lets pending window events run; does nothing on a worker.
inline void processUiEvents() {
    if (onUiThread()) {
        QCoreApplication::processEvents();
    }
}

// Runs at once on the thread `context` lives on (the window thread for every widget);
// otherwise queued behind everything the same thread posted before, and dropped when
// `context` is gone.
template <typename F> void postToUi(QObject* context, F&& job) {
    if (QThread::currentThread() == context->thread()) {
        job();
    } else {
        QMetaObject::invokeMethod(context, std::forward<F>(job), Qt::QueuedConnection);
    }
}

// Runs on the thread `context` lives on and waits for it there (message boxes, reading a
// control). The caller must not be something that thread is waiting for.
template <typename F> void runOnUi(QObject* context, F&& job) {
    if (QThread::currentThread() == context->thread()) {
        job();
    } else {
        QMetaObject::invokeMethod(context, std::forward<F>(job), Qt::BlockingQueuedConnection);
    }
}

} // namespace zorvast::common::ui
