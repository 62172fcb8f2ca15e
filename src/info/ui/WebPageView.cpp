#include "info/ui/WebPageView.h"

#include "info/ui/WebBrowserView.h"

#include <utility>

#include <QNetworkProxyFactory>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>

namespace zorvast::info::ui {

WebPageView::WebPageView(QWidget* parent) : QWebEngineView(parent) {
    // The pages go through the proxy the downloads use: the browser engine then reads
    // http_proxy, https_proxy and no_proxy (or the desktop's settings) itself.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    settings()->setDefaultTextEncoding(QStringLiteral("GBK"));
    // Starting the page now puts its render widget in place before the window is first shown,
    // so the window gets its GL surface from the start instead of being re-created later,
    // which would flicker and drop it under the windows it owns. Stopping loads nothing.
    page()->triggerAction(QWebEnginePage::Stop);
    browser_ = new WebBrowserView(this);
    connect(page(), &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus ||
                    localFallback_.isEmpty() || info.url() != onlineUrl_) {
                    return;
                }
                const QString file = std::exchange(localFallback_, QString());
                showFile(file);
            });
}

void WebPageView::showFile(const QString& path) {
    localFallback_.clear();
    setUrl(QUrl::fromLocalFile(path));
}

void WebPageView::showUrl(const QString& address) {
    localFallback_.clear();
    setUrl(QUrl::fromUserInput(address));
}

void WebPageView::showOnlineUrl(const QString& address, const QString& localFile) {
    onlineUrl_ = QUrl::fromUserInput(address);
    localFallback_ = localFile;
    setUrl(onlineUrl_);
}

} // namespace zorvast::info::ui
