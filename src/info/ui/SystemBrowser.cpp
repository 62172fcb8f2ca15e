#include "info/ui/SystemBrowser.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace zorvast::info::ui {

bool openInSystemBrowser(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

} // namespace zorvast::info::ui
