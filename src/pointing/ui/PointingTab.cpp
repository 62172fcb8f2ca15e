#include "pointing/ui/PointingTab.h"

#include "common/ui/FormWidgets.h"
#include "pointing/ui/DiagramCanvas.h"
#include "pointing/ui/ValueLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace zorvast::pointing::ui {

namespace {

using common::ui::makeCaption;
using common::ui::makeList;

QLineEdit* makeNumberEdit(QWidget* parent, int width, const QString& text = QString()) {
    auto* edit = new QLineEdit(text, parent);
    edit->setFixedWidth(width);
    edit->setAlignment(Qt::AlignCenter);
    return edit;
}

// A result field: framed, centred, filled in by the calculations.
QLabel* makeValue(QWidget* parent, bool large = false) {
    QLabel* label = makeValueLabel(parent, large ? 12 : 9);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumHeight(large ? 26 : 20);
    label->setMaximumHeight(large ? 30 : 24);
    return label;
}

// The style keeps text buttons at least 80 pixels wide; these groups are narrower.
QPushButton* makeButton(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setMinimumWidth(40);
    return button;
}

// A captioned group with a tight grid in it.
std::pair<QGroupBox*, QGridLayout*> makeGroupGrid(const QString& caption, QWidget* parent) {
    auto* group = new QGroupBox(caption, parent);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(6, 3, 6, 5);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    return {group, grid};
}

// Two exclusive radio buttons in a frame of their own.
QFrame* makeRadioPair(QRadioButton*& first, const QString& firstText, QRadioButton*& second,
                      const QString& secondText, QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(3, 1, 2, 1);
    row->setSpacing(2);
    first = new QRadioButton(firstText, frame);
    second = new QRadioButton(secondText, frame);
    row->addWidget(first);
    row->addWidget(second);
    return frame;
}

} // namespace

PointingTab::PointingTab(QWidget* parent) : QWidget(parent) {
    upperArea_ = new QWidget(this);
    auto* upper = new QVBoxLayout(upperArea_);
    upper->setContentsMargins(2, 2, 2, 0);
    upper->setSpacing(3);
    auto* groups = new QHBoxLayout;
    groups->setSpacing(3);
    // Fixed widths: the lists are filled later and must not push their neighbours.
    const std::pair<QWidget*, int> columns[] = {
        {buildSelectionGroup(upperArea_), 266}, {buildAngleGroup(upperArea_), 82},
        {buildDishSizeGroup(upperArea_), 138},  {buildFeedSpacingGroup(upperArea_), 134},
        {buildObstacleGroup(upperArea_), 0},
    };
    for (const auto& [group, width] : columns) {
        if (width > 0) {
            group->setFixedWidth(width);
        }
        groups->addWidget(group, width > 0 ? 0 : 1);
    }
    upper->addLayout(groups, 1);
    upper->addWidget(buildButtonRow(upperArea_));

    diagramCanvas_ = new DiagramCanvas(this);
    placeAreas();
}

QWidget* PointingTab::buildSelectionGroup(QWidget* parent) {
    auto [group, grid] = makeGroupGrid(QStringLiteral("卫星/地区选择"), parent);
    satelliteList_ = makeList(group, 8);
    provinceList_ = makeList(group, 3);
    cityList_ = makeList(group, 3);
    longitudeEdit_ = makeNumberEdit(group, 56);
    latitudeEdit_ = makeNumberEdit(group, 56);
    antennaModelList_ = makeList(group, 4);
    calculateButton_ = makeButton(QStringLiteral("计算"), group);

    auto* antenna = new QHBoxLayout;
    antenna->setSpacing(4);
    antenna->addWidget(makeRadioPair(primeFeedButton_, QStringLiteral("正馈"), offsetFeedButton_,
                                     QStringLiteral("偏馈"), group));
    antenna->addWidget(makeRadioPair(uprightButton_, QStringLiteral("正装"), invertedButton_,
                                     QStringLiteral("倒装"), group));

    grid->addWidget(makeCaption(QStringLiteral("卫 星"), group), 0, 0);
    grid->addWidget(satelliteList_, 0, 1, 1, 3);
    grid->addWidget(makeCaption(QStringLiteral("省/区"), group), 1, 0);
    grid->addWidget(provinceList_, 1, 1);
    grid->addWidget(makeCaption(QStringLiteral("经 度"), group), 1, 2);
    grid->addWidget(longitudeEdit_, 1, 3);
    grid->addWidget(makeCaption(QStringLiteral("市/县"), group), 2, 0);
    grid->addWidget(cityList_, 2, 1);
    grid->addWidget(makeCaption(QStringLiteral("纬 度"), group), 2, 2);
    grid->addWidget(latitudeEdit_, 2, 3);
    grid->addWidget(makeCaption(QStringLiteral("天 线"), group), 3, 0);
    grid->addLayout(antenna, 3, 1, 1, 3);
    grid->addWidget(makeCaption(QStringLiteral("型 号"), group), 4, 0);
    grid->addWidget(antennaModelList_, 4, 1, 1, 2);
    grid->addWidget(calculateButton_, 4, 3);
    grid->setColumnStretch(1, 1);
    return group;
}

QWidget* PointingTab::buildAngleGroup(QWidget* parent) {
    auto [group, grid] = makeGroupGrid(QStringLiteral("角度显示"), parent);
    azimuthLabel_ = makeValue(group, true);
    elevationLabel_ = makeValue(group, true);
    polarisationLabel_ = makeValue(group, true);
    // Each caption over its value, so the values get the group's whole width.
    const std::pair<const char*, QLabel*> rows[] = {
        {"方位角", azimuthLabel_}, {"仰 角", elevationLabel_}, {"极化角", polarisationLabel_}};
    int row = 0;
    for (const auto& [caption, value] : rows) {
        auto* label = new QLabel(QString::fromUtf8(caption), group);
        label->setAlignment(Qt::AlignCenter);
        grid->addWidget(label, row++, 0);
        grid->addWidget(value, row++, 0);
    }
    grid->setVerticalSpacing(0);
    return group;
}

QWidget* PointingTab::buildDishSizeGroup(QWidget* parent) {
    auto [group, grid] = makeGroupGrid(QStringLiteral("天线选择"), parent);
    strengthEdit_ = makeNumberEdit(group, 36);
    dishSizeButton_ = makeButton(QStringLiteral("天线口径建议"), group);
    thresholdSizeLabel_ = makeValue(group);
    recommendedSizeLabel_ = makeValue(group);
    grid->addWidget(makeCaption(QStringLiteral("强度(dBW)："), group), 0, 0);
    grid->addWidget(strengthEdit_, 0, 1);
    grid->addWidget(dishSizeButton_, 1, 0, 1, 2);
    grid->addWidget(makeCaption(QStringLiteral("门限(cm)"), group), 2, 0);
    grid->addWidget(thresholdSizeLabel_, 2, 1);
    grid->addWidget(makeCaption(QStringLiteral("推荐(cm)"), group), 3, 0);
    grid->addWidget(recommendedSizeLabel_, 3, 1);
    return group;
}

QWidget* PointingTab::buildFeedSpacingGroup(QWidget* parent) {
    auto [group, grid] = makeGroupGrid(QStringLiteral("双头距离估算"), parent);
    offsetSatelliteList_ = makeList(group, 3);
    offsetSatelliteList_->setMinimumWidth(60);
    feedSpacingButton_ = makeButton(QStringLiteral("偏和主焦距离估算"), group);
    horizontalCaption_ = makeCaption(QStringLiteral("左方："), group);
    horizontalValue_ = makeValue(group);
    verticalCaption_ = makeCaption(QStringLiteral("上方："), group);
    verticalValue_ = makeValue(group);
    spacingPolarisationValue_ = makeValue(group);
    grid->addWidget(makeCaption(QStringLiteral("偏收："), group), 0, 0);
    grid->addWidget(offsetSatelliteList_, 0, 1);
    grid->addWidget(feedSpacingButton_, 1, 0, 1, 2);
    grid->addWidget(horizontalCaption_, 2, 0);
    grid->addWidget(horizontalValue_, 2, 1);
    grid->addWidget(verticalCaption_, 3, 0);
    grid->addWidget(verticalValue_, 3, 1);
    grid->addWidget(makeCaption(QStringLiteral("极化角："), group), 4, 0);
    grid->addWidget(spacingPolarisationValue_, 4, 1);
    grid->setColumnStretch(1, 1);
    return group;
}

QWidget* PointingTab::buildObstacleGroup(QWidget* parent) {
    auto [group, grid] = makeGroupGrid(QStringLiteral("障碍测算"), parent);
    obstacleDistanceEdit_ = makeNumberEdit(group, 38, QStringLiteral("40"));
    obstacleHeightEdit_ = makeNumberEdit(group, 38, QStringLiteral("20"));
    antennaHeightEdit_ = makeNumberEdit(group, 38, QStringLiteral("0"));
    clearanceButton_ = makeButton(QStringLiteral("可收最\n小仰角"), group);
    clearanceButton_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    clearanceValue_ = makeValue(group, true);
    grid->addWidget(makeCaption(QStringLiteral("障碍距离\n（米）"), group), 0, 0);
    grid->addWidget(obstacleDistanceEdit_, 0, 1);
    grid->addWidget(makeCaption(QStringLiteral("障碍高度\n（米）"), group), 1, 0);
    grid->addWidget(obstacleHeightEdit_, 1, 1);
    grid->addWidget(makeCaption(QStringLiteral("天线高度\n（米）"), group), 2, 0);
    grid->addWidget(antennaHeightEdit_, 2, 1);
    grid->addWidget(clearanceButton_, 0, 2, 2, 1);
    grid->addWidget(clearanceValue_, 2, 2);
    grid->setColumnStretch(2, 1);
    return group;
}

QWidget* PointingTab::buildButtonRow(QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 0, 0, 0);
    layout->setSpacing(6);
    declinationCheck_ = new QCheckBox(QStringLiteral("磁偏角矫正"), row);
    saveReportButton_ = makeButton(QStringLiteral("保存文件"), row);
    copyReportButton_ = makeButton(QStringLiteral("复制文本"), row);
    satelliteMapButton_ = makeButton(QStringLiteral("卫星图定位"), row);
    strengthMapButton_ = makeButton(QStringLiteral("场强图"), row);
    sunOutageButton_ = makeButton(QStringLiteral("日凌预报"), row);
    sunDirectionButton_ = makeButton(QStringLiteral("太阳定向"), row);
    layout->addWidget(declinationCheck_);
    layout->addWidget(saveReportButton_);
    layout->addWidget(copyReportButton_);
    layout->addWidget(sunOutageButton_);
    layout->addWidget(sunDirectionButton_);
    layout->addStretch(1);
    layout->addWidget(satelliteMapButton_);
    layout->addWidget(strengthMapButton_);
    return row;
}

// Where this page's top-left corner lies in the tab control holding it.
QWidget* PointingTab::diagramArea() const {
    return diagramCanvas_;
}

QPoint PointingTab::originInTabControl() const {
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        if (qobject_cast<QTabWidget*>(ancestor)) {
            return mapTo(ancestor, QPoint(0, 0));
        }
    }
    return QPoint(0, 0);
}

void PointingTab::placeAreas() {
    const QPoint diagramTopLeft = kDiagramOrigin - originInTabControl();
    diagramCanvas_->move(diagramTopLeft);
    upperArea_->setGeometry(0, 0, width(), std::max(0, diagramTopLeft.y() - 3));
}

void PointingTab::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeAreas();
}

void PointingTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    placeAreas();
}

} // namespace zorvast::pointing::ui
