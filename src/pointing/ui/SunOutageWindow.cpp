#include "pointing/ui/SunOutageWindow.h"

#include "common/Files.h"
#include "common/ui/QtText.h"
#include "pointing/report/PointingReport.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace zorvast::pointing::ui {

namespace {

constexpr auto q = common::ui::qText;

// Outage days further apart than this belong to different seasons; the chart leaves a gap.
constexpr long long kSeasonGapDays = 30;

bool newSeason(const sun::OutageDay& before, const sun::OutageDay& day) {
    return sun::daysFromCivil(day.date) - sun::daysFromCivil(before.date) > kSeasonGapDays;
}

QString durationText(const sun::OutageDay& day) {
    const int minutes = sun::outageMinutes(day);
    return minutes > 0 ? QStringLiteral("%1分钟").arg(minutes) : QStringLiteral("不到1分钟");
}

} // namespace

// --- the chart

OutageChart::OutageChart(QWidget* parent) : QWidget(parent) {
    setMinimumSize(260, 220);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
}

void OutageChart::setDays(std::vector<sun::OutageDay> days) {
    days_ = std::move(days);
    update();
}

OutageChart::Span OutageChart::spanOf(const std::vector<sun::OutageDay>& days) {
    if (days.empty()) {
        return {};
    }
    int earliest = sun::kMinutesPerDay;
    int latest = 0;
    for (const sun::OutageDay& day : days) {
        earliest = std::min(earliest, day.startMinute);
        latest = std::max(latest, day.endMinute);
    }
    // A quarter of an hour of air on each side, then out to whole hours.
    Span span{std::max(0, (earliest - 15) / 60 * 60),
              std::min(sun::kMinutesPerDay, (latest + 15 + 59) / 60 * 60)};
    while (span.last - span.first < 120) {
        if (span.first > 0) {
            span.first -= 60;
        }
        if (span.last - span.first < 120 && span.last < sun::kMinutesPerDay) {
            span.last += 60;
        }
    }
    return span;
}

void OutageChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetrics metrics(font());
    const int left = metrics.horizontalAdvance(QStringLiteral("00-00")) + 10;
    const int right = metrics.horizontalAdvance(QStringLiteral("00:00")) / 2 + 4;
    const int top = 8;
    const int bottom = metrics.height() + 8;
    const QRect plot(left, top, std::max(1, width() - left - right),
                     std::max(1, height() - top - bottom));

    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
    if (days_.empty()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("（无日凌）"));
        return;
    }

    const Span span = spanOf(days_);
    const double perMinute = static_cast<double>(plot.width()) / (span.last - span.first);
    const auto xOf = [&](int minute) {
        return plot.left() + static_cast<int>(std::lround((minute - span.first) * perMinute));
    };

    // Ten-minute lines where there is room for them, hour lines and their labels always.
    for (int minute = span.first; minute <= span.last; minute += 10) {
        const bool hour = minute % 60 == 0;
        if (!hour && perMinute * 10 < 8) {
            continue;
        }
        painter.setPen(hour ? QColor(170, 170, 170) : QColor(228, 228, 228));
        painter.drawLine(xOf(minute), plot.top() + 1, xOf(minute), plot.bottom() - 1);
        if (hour) {
            painter.setPen(Qt::black);
            const QString label = q(sun::minuteText(minute % sun::kMinutesPerDay));
            const int w = metrics.horizontalAdvance(label);
            const int x = std::clamp(xOf(minute) - w / 2, 0, width() - w);
            painter.drawText(x, plot.bottom() + 4 + metrics.ascent(), label);
        }
    }

    // One row per day and a blank row between the seasons.
    int rows = static_cast<int>(days_.size());
    for (std::size_t i = 1; i < days_.size(); ++i) {
        rows += newSeason(days_[i - 1], days_[i]) ? 1 : 0;
    }
    const double rowHeight = std::min(18.0, static_cast<double>(plot.height() - 4) / rows);
    const int barHeight = std::max(2, static_cast<int>(rowHeight * 0.6));
    // Dates on every row that has room for one, else on every few rows.
    const int labelStep =
        std::max(1, static_cast<int>(std::ceil((metrics.height() - 2) / rowHeight)));
    int row = 0;
    int inSeason = 0; // rows since the season's first day
    for (std::size_t i = 0; i < days_.size(); ++i) {
        const sun::OutageDay& day = days_[i];
        if (i > 0 && newSeason(days_[i - 1], day)) {
            ++row;
            inSeason = 0;
        }
        const int centre = plot.top() + 2 + static_cast<int>((row + 0.5) * rowHeight);
        if (inSeason++ % labelStep == 0) {
            painter.setPen(Qt::black);
            painter.drawText(QRect(0, centre - metrics.height() / 2, left - 5, metrics.height()),
                             Qt::AlignRight | Qt::AlignVCenter,
                             QStringLiteral("%1-%2")
                                 .arg(day.date.month, 2, 10, QLatin1Char('0'))
                                 .arg(day.date.day, 2, 10, QLatin1Char('0')));
        }
        const int x0 = xOf(day.startMinute);
        const int x1 = std::max(xOf(day.endMinute), x0 + 2);
        painter.fillRect(QRect(x0, centre - barHeight / 2, x1 - x0, barHeight),
                         QColor(245, 160, 40));
        painter.fillRect(
            QRect(xOf(day.peakMinute) - 1, centre - barHeight / 2 - 2, 2, barHeight + 4),
            QColor(200, 20, 20));
        ++row;
    }
}

// --- the window

SunOutageWindow::SunOutageWindow(SunWindowDependencies dependencies, QWidget* parent)
    : SunWindowBase(std::move(dependencies), parent) {
    setObjectName(QStringLiteral("sunOutageWindow"));
    setWindowTitle(QStringLiteral("日凌预报"));

    diameterEdit_ = new QLineEdit(this);
    diameterEdit_->setFixedWidth(56);
    diameterEdit_->setAlignment(Qt::AlignCenter);
    bandList_ = new QComboBox(this);
    bandList_->addItem(QStringLiteral("C"));
    bandList_->addItem(QStringLiteral("Ku"));
    yearEdit_ = new QLineEdit(this);
    yearEdit_->setFixedWidth(56);
    yearEdit_->setAlignment(Qt::AlignCenter);
    computeButton_ = new QPushButton(QStringLiteral("计算"), this);

    figuresLabel_ = new QLabel(this);
    figuresLabel_->setTextFormat(Qt::PlainText);
    QFont bold = figuresLabel_->font();
    bold.setBold(true);
    figuresLabel_->setFont(bold);

    table_ = new QTableWidget(0, 5, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("日期"), QStringLiteral("开始"),
                                       QStringLiteral("最强"), QStringLiteral("结束"),
                                       QStringLiteral("时长")});
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumWidth(330);

    chart_ = new OutageChart(this);
    saveButton_ = new QPushButton(QStringLiteral("保存文件"), this);
    copyButton_ = new QPushButton(QStringLiteral("复制文本"), this);
    const std::pair<QWidget*, const char*> names[] = {
        {diameterEdit_, "diameterEdit"}, {bandList_, "bandList"},
        {yearEdit_, "yearEdit"},         {computeButton_, "computeButton"},
        {figuresLabel_, "figuresLabel"}, {table_, "outageTable"},
        {chart_, "outageChart"},         {saveButton_, "saveButton"},
        {copyButton_, "copyButton"},
    };
    for (const auto& [widget, name] : names) {
        widget->setObjectName(QString::fromLatin1(name));
    }

    auto* inputs = new QHBoxLayout;
    inputs->setSpacing(6);
    inputs->addWidget(new QLabel(QStringLiteral("天线口径(cm)"), this));
    inputs->addWidget(diameterEdit_);
    inputs->addSpacing(8);
    inputs->addWidget(new QLabel(QStringLiteral("频段"), this));
    inputs->addWidget(bandList_);
    inputs->addSpacing(8);
    inputs->addWidget(new QLabel(QStringLiteral("年份"), this));
    inputs->addWidget(yearEdit_);
    inputs->addSpacing(8);
    inputs->addWidget(computeButton_);
    inputs->addStretch(1);

    auto* legend = new QLabel(QStringLiteral("橙条为日凌时段，红线为最强时刻（北京时间）"), this);
    auto* chartColumn = new QVBoxLayout;
    chartColumn->addWidget(chart_, 1);
    chartColumn->addWidget(legend);

    auto* body = new QHBoxLayout;
    body->addWidget(table_, 0);
    body->addLayout(chartColumn, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(saveButton_);
    buttons->addWidget(copyButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(placeLabel());
    layout->addLayout(inputs);
    layout->addWidget(figuresLabel_);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    resize(740, 560);

    connect(computeButton_, &QPushButton::clicked, this, [this] { recompute(); });
    connect(diameterEdit_, &QLineEdit::returnPressed, this, [this] { recompute(); });
    connect(yearEdit_, &QLineEdit::returnPressed, this, [this] { recompute(); });
    connect(bandList_, qOverload<int>(&QComboBox::activated), this, [this](int) { recompute(); });
    connect(saveButton_, &QPushButton::clicked, this, [this] { saveTable(); });
    connect(copyButton_, &QPushButton::clicked, this, [this] { copyTable(); });
}

bool SunOutageWindow::showFor(const SunContext& context) {
    if (!takeContext(context)) {
        return false;
    }
    diameterEdit_->setText(context.diameterCm > 0 ? QString::number(context.diameterCm)
                                                  : QString());
    bandList_->setCurrentIndex(context.band == sun::Band::Ku ? 1 : 0);
    // The season to come for this dish; a dish without a size still opens on this year.
    const sun::LocalDate today = deps_.today ? deps_.today() : sun::LocalDate{};
    int year = today.year;
    if (context.diameterCm > 0 && sun::validDate(today)) {
        const double angle =
            sun::outageAngle(sun::beamwidth(context.diameterCm / 100.0, context.band));
        year =
            sun::nextSeasonYear(siteLongitude_, siteLatitude_, satelliteLongitude_, angle, today);
    }
    yearEdit_->setText(QString::number(year));
    recompute();
    showWindow();
    return true;
}

std::optional<double> SunOutageWindow::typedDiameter() {
    bool ok = false;
    const double cm = diameterEdit_->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(cm) || cm <= 0) {
        return std::nullopt;
    }
    return cm;
}

sun::Band SunOutageWindow::typedBand() const {
    return bandList_->currentIndex() == 1 ? sun::Band::Ku : sun::Band::C;
}

bool SunOutageWindow::recompute() {
    const std::optional<double> cm = typedDiameter();
    if (!cm) {
        inputError(kDiameterErrorText);
        return false;
    }
    bool ok = false;
    const int year = yearEdit_->text().trimmed().toInt(&ok);
    if (!ok || !sun::validYear(year)) {
        inputError(kYearErrorText);
        return false;
    }
    const double beam = sun::beamwidth(*cm / 100.0, typedBand());
    const double angle = sun::outageAngle(beam);
    days_ = sun::outageForecast(siteLongitude_, siteLatitude_, satelliteLongitude_, angle, year);
    figuresLabel_->setText(q(sun::dishFiguresText(beam, angle)));
    fillTable();
    chart_->setDays(days_);
    return true;
}

void SunOutageWindow::fillTable() {
    table_->setRowCount(static_cast<int>(days_.size()));
    int row = 0;
    for (const sun::OutageDay& day : days_) {
        const QString cells[] = {q(sun::dateText(day.date)), q(sun::minuteText(day.startMinute)),
                                 q(sun::minuteText(day.peakMinute)),
                                 q(sun::minuteText(day.endMinute)), durationText(day)};
        for (int column = 0; column < 5; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setTextAlignment(Qt::AlignCenter);
            table_->setItem(row, column, item);
        }
        ++row;
    }
}

void SunOutageWindow::saveTable() {
    const std::optional<std::filesystem::path> file =
        deps_.askSaveFile ? deps_.askSaveFile() : std::nullopt;
    const SaveNotice notice =
        saveExport(file, file ? sun::outageTableFile(days_).bytes : std::string());
    showMessage(std::string(notice.caption), notice.text, notice.warning);
}

void SunOutageWindow::copyTable() {
    QGuiApplication::clipboard()->setText(q(sun::outageTableText(days_)));
    showMessage(std::string(kCopiedCaption), std::string(kCopiedText), false);
}

} // namespace zorvast::pointing::ui
