// Carrying a worker's calls to the window thread, in the order the worker makes them.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <utility>

namespace zorvast::info::ui {

// Runs at once on the object's own thread; otherwise queued behind everything the same
// thread posted before, and dropped when `context` is gone.
template <typename F> void postTo(QObject* context, F&& job) {
    if (QThread::currentThread() == context->thread()) {
        job();
    } else {
        QMetaObject::invokeMethod(context, std::forward<F>(job), Qt::QueuedConnection);
    }
}

// Runs on the object's thread and waits for it there (a read of a control). The caller must
// not be something that object's thread is waiting for.
template <typename F> void runOn(QObject* context, F&& job) {
    if (QThread::currentThread() == context->thread()) {
        job();
    } else {
        QMetaObject::invokeMethod(context, std::forward<F>(job), Qt::BlockingQueuedConnection);
    }
}

} // namespace zorvast::info::ui
