#include "pointing/ui/SunDirectionWindow.h"

#include "common/ui/QtText.h"
#include "pointing/sun/SunAzimuth.h"
#include "pointing/sun/SunPosition.h"
#include "pointing/ui/ValueLabel.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

namespace zorvast::pointing::ui {

namespace {

constexpr auto q = common::ui::qText;

QLabel* makeValue(QWidget* parent) {
    QLabel* label = makeValueLabel(parent, parent->font().pointSize() + 2);
    label->setMargin(4);
    return label;
}

} // namespace

SunDirectionWindow::SunDirectionWindow(SunWindowDependencies dependencies, QWidget* parent)
    : SunWindowBase(std::move(dependencies), parent) {
    setObjectName(QStringLiteral("sunDirectionWindow"));
    setWindowTitle(QStringLiteral("太阳定向"));

    dateEdit_ = new QLineEdit(this);
    dateEdit_->setFixedWidth(96);
    dateEdit_->setAlignment(Qt::AlignCenter);
    computeButton_ = new QPushButton(QStringLiteral("计算"), this);
    azimuthLabel_ = makeValue(this);
    timesLabel_ = makeValue(this);
    adviceLabel_ = new QLabel(this);
    adviceLabel_->setTextFormat(Qt::PlainText);
    adviceLabel_->setWordWrap(true);
    adviceLabel_->setMinimumHeight(adviceLabel_->fontMetrics().height() * 3);
    adviceLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    dateEdit_->setObjectName(QStringLiteral("dateEdit"));
    computeButton_->setObjectName(QStringLiteral("computeButton"));
    azimuthLabel_->setObjectName(QStringLiteral("azimuthLabel"));
    timesLabel_->setObjectName(QStringLiteral("timesLabel"));
    adviceLabel_->setObjectName(QStringLiteral("adviceLabel"));

    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(new QLabel(QStringLiteral("日期"), this));
    dateRow->addWidget(dateEdit_);
    dateRow->addWidget(computeButton_);
    dateRow->addStretch(1);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("卫星真方位角"), this), 0, 0);
    grid->addWidget(azimuthLabel_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("太阳到此方位\n（北京时间）"), this), 1, 0);
    grid->addWidget(timesLabel_, 1, 1);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(placeLabel());
    layout->addLayout(dateRow);
    layout->addLayout(grid);
    layout->addWidget(adviceLabel_);
    layout->addStretch(1);
    resize(440, 250);

    connect(computeButton_, &QPushButton::clicked, this, [this] { recompute(); });
    connect(dateEdit_, &QLineEdit::returnPressed, this, [this] { recompute(); });
}

bool SunDirectionWindow::showFor(const SunContext& context) {
    if (!takeContext(context)) {
        return false;
    }
    const sun::LocalDate today = deps_.today ? deps_.today() : sun::LocalDate{};
    dateEdit_->setText(q(sun::dateText(today)));
    recompute();
    showWindow();
    return true;
}

bool SunDirectionWindow::recompute() {
    const std::optional<sun::LocalDate> date =
        sun::parseDateText(common::ui::stdText(dateEdit_->text().trimmed()));
    if (!date) {
        inputError(kDateErrorText);
        return false;
    }
    const sun::Direction satellite =
        sun::satelliteDirection(siteLongitude_, siteLatitude_, satelliteLongitude_);
    const std::vector<sun::Crossing> crossings =
        sun::sunAtAzimuth(siteLongitude_, siteLatitude_, satellite.azimuth, *date);
    azimuthLabel_->setText(QStringLiteral("%1°（仰角 %2°）")
                               .arg(satellite.azimuth, 0, 'f', 1)
                               .arg(satellite.elevation, 0, 'f', 1));
    QStringList times;
    for (const sun::Crossing& crossing : crossings) {
        times << QStringLiteral("%1　太阳仰角 %2°")
                     .arg(q(sun::minuteText(crossing.minute)))
                     .arg(crossing.sunElevation, 0, 'f', 1);
    }
    timesLabel_->setText(times.isEmpty() ? QStringLiteral("- -") : times.join(QLatin1Char('\n')));
    adviceLabel_->setText(q(sun::shadowAimText(crossings)));
    return true;
}

} // namespace zorvast::pointing::ui
