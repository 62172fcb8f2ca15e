#include "channels/ui/ParameterTab.h"

#include "channels/ui/ResultGrid.h"
#include "common/ui/FormWidgets.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace zorvast::channels::ui {

namespace {

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
    resultGrid_ = new ResultGrid(this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(6);
    layout->addWidget(resultGrid_, 1);
    layout->addWidget(buildSidePanel());
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
    // As wide as its caption: provider names are long and the list needs the room.
    providerShowResultsButton_->setFixedWidth(
        providerShowResultsButton_->fontMetrics().horizontalAdvance(
            providerShowResultsButton_->text()) +
        18);
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

} // namespace zorvast::channels::ui
