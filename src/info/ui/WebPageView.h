#pragma once

#include <QString>
#include <QUrl>
#include <QWebEngineView>

namespace zorvast::info::ui {

class WebBrowserView;

// A browser view for the program's pages. Pages without a charset are read as GBK,
// which is what every page the program ships or fetches is written in.
class WebPageView : public QWebEngineView {
    Q_OBJECT
public:
    explicit WebPageView(QWidget* parent = nullptr);

    // A local file, shown through a file: URL.
    void showFile(const QString& path);
    // An address as a user would type it; a missing scheme is completed.
    void showUrl(const QString& address);
    // A page of the servers, or `localFile` when it cannot be had: no answer, or an error
    // status (a proxy's error page among them) instead of the page.
    void showOnlineUrl(const QString& address, const QString& localFile);

    // The same view for workers and the pages' logic (any thread).
    WebBrowserView& browser() const { return *browser_; }

private:
    WebBrowserView* browser_ = nullptr;
    QUrl onlineUrl_;
    QString localFallback_;
};

} // namespace zorvast::info::ui
