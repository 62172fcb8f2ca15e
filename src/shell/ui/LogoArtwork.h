// The program's logo pictures and icon, drawn with QPainter so they stay crisp at any scale.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

#include <filesystem>

class QToolButton;

namespace zorvast::shell::ui {

inline constexpr QSize kLogoPictureSize{185, 58};
inline constexpr QSize kBlankLogoSize{182, 58};

// The dish emblem with "Zorvast" and "卫视寻星资讯"; B is the brighter variant with a glint on
// the dish, used for hovering and the short flash after start-up.
QPixmap logoPictureA();
QPixmap logoPictureB();
// A 182 × 58 picture that shows nothing: the logo seems to have left the button.
QPixmap blankLogoPicture();
// The dish emblem alone, from a 256 × 256 drawing.
QIcon applicationIcon();
// Saves applicationIcon() as a 256 × 256 PNG for the desktop entry, creating the folders on the
// way. False when the file cannot be written.
bool writeApplicationIconFile(const std::filesystem::path& pngFile);

enum class LogoPicture { A, B, Blank };

// Gives the logo button `normal` as its normal picture and logo B as its hover picture, with
// white as the transparent colour. Only on the window thread.
void setLogoButtonPicture(QToolButton* button, LogoPicture normal);
// The normal picture last given by setLogoButtonPicture (Blank when none was).
LogoPicture logoButtonPicture(const QToolButton* button);

} // namespace zorvast::shell::ui
