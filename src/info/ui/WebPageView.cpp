#include "info/ui/WebPageView.h"

#include "info/ui/WebBrowserView.h"

#include <QUrl>
#include <QWebEngineSettings>

namespace zorvast::info::ui {

WebPageView::WebPageView(QWidget* parent) : QWebEngineView(parent) {
    settings()->setDefaultTextEncoding(QStringLiteral("GBK"));
    browser_ = new WebBrowserView(this);
}

void WebPageView::showFile(const QString& path) {
    setUrl(QUrl::fromLocalFile(path));
}

void WebPageView::showUrl(const QString& address) {
    setUrl(QUrl::fromUserInput(address));
}

} // namespace zorvast::info::ui
