// BrowserView over a WebPageView (Qt WebEngine).
//
// Status text: WebEngine has no status line of its own, so the view keeps one. It is empty
// from loadStarted on, and becomes "完成" on loadFinished once no load is in progress any more
// (page()->isLoading() is false) — for a successful load and for a failed one alike, because a
// failed load ends on an error page that is shown like any other. A load that a newer
// navigation replaced leaves the text empty, as the newer one is still loading. Navigation
// complete is reported at the same moment.
//
// Threads: calls may come from any thread. Commands are queued to the window thread in the
// order they are made; reads made off the window thread wait there for the answer.
#pragma once

#include "info/pages/BrowserView.h"

#include <QObject>
#include <QString>

#include <vector>

namespace zorvast::info::ui {

class WebPageView;

class WebBrowserView final : public QObject, public info::BrowserView {
    Q_OBJECT
public:
    // Becomes a child of `view` and lives as long as it does.
    explicit WebBrowserView(WebPageView* view);

    void navigate(const std::string& address) override;
    std::string address() const override;
    std::string statusText() const override;
    std::string title() const override;
    void back() override;
    void forward() override;
    void refresh() override;
    void stop() override;
    void subscribe(info::BrowserEvents events) override;

    WebPageView* view() const { return view_; }

private:
    void onLoadStarted();
    void onLoadFinished();
    void onProgress(int value);
    void onTitle(const QString& title);
    void setStatus(const QString& status);

    WebPageView* view_;
    QString status_; // window thread only
    std::vector<info::BrowserEvents> receivers_;
};

} // namespace zorvast::info::ui
