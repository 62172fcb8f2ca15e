// The sun-outage forecast for the pointing tab's site, satellite and dish: a table of the
// season's days, a chart of their minutes, save and copy.
#pragma once

#include "pointing/sun/SunOutage.h"
#include "pointing/ui/SunWindowBase.h"

#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace zorvast::pointing::ui {

// One horizontal bar per day from the first to the last outage minute, the peak marked, over
// an hour axis wide enough for every day of the table.
class OutageChart : public QWidget {
    Q_OBJECT
public:
    explicit OutageChart(QWidget* parent = nullptr);

    void setDays(std::vector<sun::OutageDay> days);

    // The minutes of the day the axis spans: whole hours, at least two, with room on both
    // sides of the earliest start and the latest end.
    struct Span {
        int first = 11 * 60;
        int last = 13 * 60;
    };
    static Span spanOf(const std::vector<sun::OutageDay>& days);

    QSize sizeHint() const override { return {300, 320}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<sun::OutageDay> days_;
};

class SunOutageWindow : public SunWindowBase {
    Q_OBJECT
public:
    SunOutageWindow(SunWindowDependencies dependencies, QWidget* parent = nullptr);

    // Fills the boxes for the context (the year of the next season to come) and shows the
    // forecast; false, with the input error box, when the site or satellite cannot be used.
    bool showFor(const SunContext& context);
    // Recomputes from the boxes; false after an input error box.
    bool recompute();
    void saveTable();
    void copyTable();

private:
    std::optional<double> typedDiameter();
    sun::Band typedBand() const;
    void fillTable();

    QLineEdit* diameterEdit_ = nullptr;
    QComboBox* bandList_ = nullptr;
    QLineEdit* yearEdit_ = nullptr;
    QPushButton* computeButton_ = nullptr;
    QLabel* figuresLabel_ = nullptr;
    QTableWidget* table_ = nullptr;
    OutageChart* chart_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    std::vector<sun::OutageDay> days_;
};

} // namespace zorvast::pointing::ui
