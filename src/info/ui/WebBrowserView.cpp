#include "info/ui/WebBrowserView.h"

#include "common/ui/QtText.h"
#include "common/ui/UiThread.h"
#include "info/ui/WebPageView.h"

#include <QUrl>
#include <QWebEnginePage>

namespace zorvast::info::ui {

WebBrowserView::WebBrowserView(WebPageView* view) : QObject(view), view_(view) {
    connect(view_, &QWebEngineView::loadStarted, this, &WebBrowserView::onLoadStarted);
    connect(view_, &QWebEngineView::loadFinished, this, &WebBrowserView::onLoadFinished);
    connect(view_, &QWebEngineView::loadProgress, this, &WebBrowserView::onProgress);
    connect(view_, &QWebEngineView::titleChanged, this, &WebBrowserView::onTitle);
}

void WebBrowserView::navigate(const std::string& address) {
    if (address.empty()) {
        return;
    }
    common::ui::postToUi(this, [this, target = QString::fromStdString(address)] {
        // Loading from now on: a look before loadStarted arrives must not take the previous
        // page's state for the new one's.
        if (QUrl::fromUserInput(target).isValid()) {
            setStatus(QString());
        }
        view_->showUrl(target);
    });
}

std::string WebBrowserView::address() const {
    std::string result;
    common::ui::runOnUi(const_cast<WebBrowserView*>(this),
                        [this, &result] { result = view_->url().toString().toStdString(); });
    return result;
}

std::string WebBrowserView::statusText() const {
    std::string result;
    common::ui::runOnUi(const_cast<WebBrowserView*>(this),
                        [this, &result] { result = status_.toStdString(); });
    return result;
}

std::string WebBrowserView::title() const {
    std::string result;
    common::ui::runOnUi(const_cast<WebBrowserView*>(this),
                        [this, &result] { result = view_->title().toStdString(); });
    return result;
}

void WebBrowserView::back() {
    common::ui::postToUi(this, [this] { view_->back(); });
}

void WebBrowserView::forward() {
    common::ui::postToUi(this, [this] { view_->forward(); });
}

void WebBrowserView::refresh() {
    common::ui::postToUi(this, [this] { view_->reload(); });
}

void WebBrowserView::stop() {
    common::ui::postToUi(this, [this] { view_->stop(); });
}

void WebBrowserView::subscribe(info::BrowserEvents events) {
    receivers_.push_back(std::move(events));
}

void WebBrowserView::onLoadStarted() {
    setStatus(QString());
}

void WebBrowserView::onLoadFinished() {
    if (view_->page()->isLoading()) {
        return; // replaced by a newer navigation, which reports for itself
    }
    setStatus(common::ui::qText(info::kFinishedStatus));
    for (const info::BrowserEvents& receiver : receivers_) {
        if (receiver.navigationComplete) {
            receiver.navigationComplete();
        }
    }
}

void WebBrowserView::onProgress(int value) {
    for (const info::BrowserEvents& receiver : receivers_) {
        if (receiver.progressChanged) {
            receiver.progressChanged(value);
        }
    }
}

void WebBrowserView::onTitle(const QString& title) {
    const std::string text = title.toStdString();
    for (const info::BrowserEvents& receiver : receivers_) {
        if (receiver.titleChanged) {
            receiver.titleChanged(text);
        }
    }
}

void WebBrowserView::setStatus(const QString& status) {
    if (status == status_) {
        return;
    }
    status_ = status;
    const std::string text = status.toStdString();
    for (const info::BrowserEvents& receiver : receivers_) {
        if (receiver.statusTextChanged) {
            receiver.statusTextChanged(text);
        }
    }
}

} // namespace zorvast::info::ui
