#include "info/ui/WebPageView.h"

#include "info/ui/WebBrowserView.h"

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>

namespace zorvast::info::ui {

WebPageView::WebPageView(QWidget* parent) : QWebEngineView(parent) {
    settings()->setDefaultTextEncoding(QStringLiteral("GBK"));
    // Starting the page now puts its render widget in place before the window is first shown,
    // so the window gets its GL surface from the start instead of being re-created later,
    // which would flicker and drop it under the windows it owns. Stopping loads nothing.
    page()->triggerAction(QWebEnginePage::Stop);
    browser_ = new WebBrowserView(this);
}

void WebPageView::showFile(const QString& path) {
    setUrl(QUrl::fromLocalFile(path));
}

void WebPageView::showUrl(const QString& address) {
    setUrl(QUrl::fromUserInput(address));
}

} // namespace zorvast::info::ui
