#pragma once

#include <QString>
#include <QWebEngineView>

namespace zorvast::info::ui {

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
};

} // namespace zorvast::info::ui
