// Aiming by the sun: the minutes of a day at which the sun stands at the satellite's azimuth,
// when a vertical pole's shadow points straight away from the satellite.
#pragma once

#include "pointing/ui/SunWindowBase.h"

class QLineEdit;
class QPushButton;

namespace zorvast::pointing::ui {

class SunDirectionWindow : public SunWindowBase {
    Q_OBJECT
public:
    SunDirectionWindow(SunWindowDependencies dependencies, QWidget* parent = nullptr);

    // Opens on today for the context; false, with the input error box, when the site or the
    // satellite cannot be used.
    bool showFor(const SunContext& context);
    // Recomputes for the date in the box; false after an input error box.
    bool recompute();

private:
    QLineEdit* dateEdit_ = nullptr;
    QPushButton* computeButton_ = nullptr;
    QLabel* azimuthLabel_ = nullptr;
    QLabel* timesLabel_ = nullptr;
    QLabel* adviceLabel_ = nullptr;
};

} // namespace zorvast::pointing::ui
