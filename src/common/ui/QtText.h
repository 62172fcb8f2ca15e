// UTF-8 std::string <-> QString at the window layer.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace zorvast::common::ui {

inline QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string stdText(const QString& text) {
    return text.toStdString();
}

} // namespace zorvast::common::ui
