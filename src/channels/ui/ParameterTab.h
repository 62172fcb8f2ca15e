#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace zorvast::channels::ui {

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

    // Five columns, no headers: row 0 is the title row the fill writes itself.
    QTableWidget* transponderGrid() const { return transponderGrid_; }
    // Pixels per grid unit: the five column widths (120, 140, 130, 420, 100 units) fill
    // the grid's width; row heights are given in the same units.
    double transponderGridScale() const { return gridScale_; }
    int gridUnitsToPixels(int units) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildSidePanel();
    void fitGridColumns();

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
    QTableWidget* transponderGrid_ = nullptr;
    double gridScale_ = 1.0;
};

} // namespace zorvast::channels::ui
