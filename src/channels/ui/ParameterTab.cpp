#include "channels/ui/ParameterTab.h"

#include "common/ui/FormWidgets.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace zorvast::channels::ui {

namespace {

// Column widths of the transponder grid in grid units.
constexpr int kColumnUnits[] = {120, 140, 130, 420, 100};
constexpr int kTotalColumnUnits = 910;
constexpr int kRowUnits = 50;
constexpr int kSidePanelWidth = 262;

using common::ui::makeCaption;
using common::ui::makeList;

QGroupBox* makeGroup(const QString& caption, QWidget* parent) {
    auto* group = new QGroupBox(caption, parent);
    return group;
}

void tightLayout(QLayout* layout) {
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(4);
}

} // namespace

ParameterTab::ParameterTab(QWidget* parent) : QWidget(parent) {
    transponderGrid_ = new QTableWidget(0, 5, this);
    transponderGrid_->horizontalHeader()->hide();
    transponderGrid_->verticalHeader()->hide();
    // Thousands of rows: every size is fixed, nothing is measured per row.
    transponderGrid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    transponderGrid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    transponderGrid_->setWordWrap(false);
    transponderGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    transponderGrid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    transponderGrid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    transponderGrid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    transponderGrid_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    transponderGrid_->viewport()->installEventFilter(this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(6);
    layout->addWidget(transponderGrid_, 1);
    layout->addWidget(buildSidePanel());
    fitGridColumns();
}

QWidget* ParameterTab::buildSidePanel() {
    auto* panel = new QWidget(this);
    panel->setFixedWidth(kSidePanelWidth);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);

    // 组合条件：
    auto* combined = makeGroup(QStringLiteral("组合条件："), panel);
    auto* combinedGrid = new QGridLayout(combined);
    tightLayout(combinedGrid);
    satelliteList_ = makeList(combined);
    findSatelliteButton_ = new QPushButton(QStringLiteral("寻星"), combined);
    bandFilter_ = makeList(combined);
    polarisationFilter_ = makeList(combined);
    accessFilter_ = makeList(combined);
    formatFilter_ = makeList(combined);
    showResultsButton_ = new QPushButton(QStringLiteral("显示结果"), combined);
    moreParametersButton_ = new QPushButton(QStringLiteral("更多参数"), combined);
    findSatelliteButton_->setFixedWidth(46);
    // Room for the longest items: "垂直(V)" and "测试或临传".
    bandFilter_->setMinimumContentsLength(3);
    accessFilter_->setMinimumContentsLength(3);
    polarisationFilter_->setMinimumContentsLength(6);
    formatFilter_->setMinimumContentsLength(7);

    auto* satelliteRow = new QHBoxLayout;
    satelliteRow->setSpacing(4);
    satelliteRow->addWidget(satelliteList_, 1);
    satelliteRow->addWidget(findSatelliteButton_);
    combinedGrid->addWidget(makeCaption(QStringLiteral("卫星："), combined), 0, 0);
    combinedGrid->addLayout(satelliteRow, 0, 1, 1, 3);
    combinedGrid->addWidget(makeCaption(QStringLiteral("波段："), combined), 1, 0);
    combinedGrid->addWidget(bandFilter_, 1, 1);
    combinedGrid->addWidget(makeCaption(QStringLiteral("极化："), combined), 1, 2);
    combinedGrid->addWidget(polarisationFilter_, 1, 3);
    combinedGrid->addWidget(makeCaption(QStringLiteral("权限："), combined), 2, 0);
    combinedGrid->addWidget(accessFilter_, 2, 1);
    combinedGrid->addWidget(makeCaption(QStringLiteral("格式："), combined), 2, 2);
    combinedGrid->addWidget(formatFilter_, 2, 3);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(6);
    buttonRow->addWidget(showResultsButton_, 1);
    buttonRow->addWidget(moreParametersButton_, 1);
    combinedGrid->addLayout(buttonRow, 3, 0, 1, 4);
    combinedGrid->setColumnStretch(1, 1);
    combinedGrid->setColumnStretch(3, 1);
    column->addWidget(combined);

    // 单项条件：
    auto* single = makeGroup(QStringLiteral("单项条件："), panel);
    auto* singleRow = new QHBoxLayout(single);
    tightLayout(singleRow);
    providerList_ = makeList(single);
    providerShowResultsButton_ = new QPushButton(QStringLiteral("显示结果"), single);
    singleRow->addWidget(makeCaption(QStringLiteral("节目提供商："), single));
    singleRow->addWidget(providerList_, 1);
    singleRow->addWidget(providerShowResultsButton_);
    column->addWidget(single);

    // 频道搜寻：
    auto* search = makeGroup(QStringLiteral("频道搜寻："), panel);
    auto* searchRow = new QHBoxLayout(search);
    tightLayout(searchRow);
    channelSearchEdit_ = new QLineEdit(search);
    channelSearchButton_ = new QPushButton(QStringLiteral("搜 索"), search);
    searchRow->addWidget(makeCaption(QStringLiteral("频道名："), search));
    searchRow->addWidget(channelSearchEdit_, 1);
    searchRow->addWidget(channelSearchButton_);
    column->addWidget(search);

    // 详细信息：
    auto* details = makeGroup(QStringLiteral("详细信息："), panel);
    auto* detailsBox = new QVBoxLayout(details);
    tightLayout(detailsBox);
    detailText_ = new QLabel(details);
    detailText_->setTextFormat(Qt::PlainText);
    detailText_->setWordWrap(true);
    detailText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    detailText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    detailText_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    detailsBox->addWidget(detailText_);
    column->addWidget(details, 1);

    // 特别功能：
    auto* special = makeGroup(QStringLiteral("特别功能："), panel);
    auto* specialBox = new QVBoxLayout(special);
    tightLayout(specialBox);
    exportTableButton_ = new QPushButton(QStringLiteral("全表到【文本文件】"), special);
    copyTableButton_ = new QPushButton(QStringLiteral("全表到【剪贴板】"), special);
    copyRowButton_ = new QPushButton(QStringLiteral("所选到【剪贴板】"), special);
    specialBox->addWidget(exportTableButton_);
    specialBox->addWidget(copyTableButton_);
    specialBox->addWidget(copyRowButton_);
    column->addWidget(special);

    return panel;
}

int ParameterTab::gridUnitsToPixels(int units) const {
    return static_cast<int>(std::lround(units * gridScale_));
}

bool ParameterTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == transponderGrid_->viewport() && event->type() == QEvent::Resize) {
        fitGridColumns();
    }
    return QWidget::eventFilter(watched, event);
}

// The five columns share the viewport's width in their unit proportions; each edge is
// rounded from the running total so the last column ends exactly at the border.
void ParameterTab::fitGridColumns() {
    const int width = transponderGrid_->viewport()->width();
    if (width <= 0) {
        return;
    }
    gridScale_ = static_cast<double>(width) / kTotalColumnUnits;
    int units = 0;
    int edge = 0;
    for (int column = 0; column < 5; ++column) {
        units += kColumnUnits[column];
        const int next = static_cast<int>(std::lround(units * gridScale_));
        transponderGrid_->setColumnWidth(column, next - edge);
        edge = next;
    }
    transponderGrid_->verticalHeader()->setDefaultSectionSize(gridUnitsToPixels(kRowUnits));
}

} // namespace zorvast::channels::ui
