#include "info/ui/LinkText.h"

namespace zorvast::info::ui {

QString linkText(const QString& caption) {
    return QStringLiteral("<a href=\"#\">") + caption.toHtmlEscaped() + QStringLiteral("</a>");
}

QLabel* makeLinkLabel(const QString& caption, QWidget* parent) {
    auto* label = new QLabel(linkText(caption), parent);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    label->setOpenExternalLinks(false);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

} // namespace zorvast::info::ui
