#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zorvast::channels::ui {

class ResultGrid;

// The parameter tab: the transponder grid on the left, the query, search, detail and
// export groups on the right.
class ParameterTab : public QWidget {
    Q_OBJECT
public:
    explicit ParameterTab(QWidget* parent = nullptr);

    // "组合条件："
    QComboBox* satelliteList() const { return satelliteList_; }
    QPushButton* findSatelliteButton() const { return findSatelliteButton_; }
    QComboBox* bandFilter() const { return bandFilter_; }
    QComboBox* polarisationFilter() const { return polarisationFilter_; }
    QComboBox* accessFilter() const { return accessFilter_; }
    QComboBox* formatFilter() const { return formatFilter_; }
    QPushButton* showResultsButton() const { return showResultsButton_; }
    QPushButton* moreParametersButton() const { return moreParametersButton_; }

    // "单项条件："
    QComboBox* providerList() const { return providerList_; }
    QPushButton* providerShowResultsButton() const { return providerShowResultsButton_; }

    // "频道搜寻："
    QLineEdit* channelSearchEdit() const { return channelSearchEdit_; }
    QPushButton* channelSearchButton() const { return channelSearchButton_; }

    // "详细信息："
    QLabel* detailText() const { return detailText_; }

    // "特别功能："
    QPushButton* exportTableButton() const { return exportTableButton_; }
    QPushButton* copyTableButton() const { return copyTableButton_; }
    QPushButton* copyRowButton() const { return copyRowButton_; }

    // Five columns in grid units, zoomed to the grid's width; row 1 is the title row.
    ResultGrid* resultGrid() const { return resultGrid_; }

private:
    QWidget* buildSidePanel();

    QComboBox* satelliteList_ = nullptr;
    QPushButton* findSatelliteButton_ = nullptr;
    QComboBox* bandFilter_ = nullptr;
    QComboBox* polarisationFilter_ = nullptr;
    QComboBox* accessFilter_ = nullptr;
    QComboBox* formatFilter_ = nullptr;
    QPushButton* showResultsButton_ = nullptr;
    QPushButton* moreParametersButton_ = nullptr;
    QComboBox* providerList_ = nullptr;
    QPushButton* providerShowResultsButton_ = nullptr;
    QLineEdit* channelSearchEdit_ = nullptr;
    QPushButton* channelSearchButton_ = nullptr;
    QLabel* detailText_ = nullptr;
    QPushButton* exportTableButton_ = nullptr;
    QPushButton* copyTableButton_ = nullptr;
    QPushButton* copyRowButton_ = nullptr;
    ResultGrid* resultGrid_ = nullptr;
};

} // namespace zorvast::channels::ui
