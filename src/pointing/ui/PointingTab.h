#pragma once

#include "pointing/diagram/DiagramPlan.h"

#include <QPoint>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zorvast::pointing::ui {

class DiagramCanvas;

// The pointing tab: the input and calculator groups along the top, a button row, and the
// diagram area below them.
class PointingTab : public QWidget {
    Q_OBJECT
public:
    explicit PointingTab(QWidget* parent = nullptr);

    // The diagram is placed in the coordinates of the tab control (tab strip included),
    // so that its 777 x 288 pixels fit under the groups.
    static constexpr QPoint kDiagramOrigin{9, 215};
    static constexpr QSize kDiagramSize{kDiagramWidth, kDiagramHeight};

    // "卫星/地区选择"
    QComboBox* satelliteList() const { return satelliteList_; }
    QComboBox* provinceList() const { return provinceList_; }
    QComboBox* cityList() const { return cityList_; }
    QLineEdit* longitudeEdit() const { return longitudeEdit_; }
    QLineEdit* latitudeEdit() const { return latitudeEdit_; }
    QRadioButton* primeFeedButton() const { return primeFeedButton_; }
    QRadioButton* offsetFeedButton() const { return offsetFeedButton_; }
    QRadioButton* uprightButton() const { return uprightButton_; }
    QRadioButton* invertedButton() const { return invertedButton_; }
    QComboBox* antennaModelList() const { return antennaModelList_; }
    QPushButton* calculateButton() const { return calculateButton_; }

    // "角度显示"
    QLabel* azimuthLabel() const { return azimuthLabel_; }
    QLabel* elevationLabel() const { return elevationLabel_; }
    QLabel* polarisationLabel() const { return polarisationLabel_; }

    // "天线选择": strength in, suggested dish sizes out.
    QLineEdit* strengthEdit() const { return strengthEdit_; }
    QPushButton* dishSizeButton() const { return dishSizeButton_; }
    QLabel* thresholdSizeLabel() const { return thresholdSizeLabel_; }
    QLabel* recommendedSizeLabel() const { return recommendedSizeLabel_; }

    // "双头距离估算"
    QComboBox* offsetSatelliteList() const { return offsetSatelliteList_; }
    QPushButton* feedSpacingButton() const { return feedSpacingButton_; }
    QLabel* horizontalCaption() const { return horizontalCaption_; }
    QLabel* horizontalValue() const { return horizontalValue_; }
    QLabel* verticalCaption() const { return verticalCaption_; }
    QLabel* verticalValue() const { return verticalValue_; }
    QLabel* spacingPolarisationValue() const { return spacingPolarisationValue_; }

    // "障碍测算"
    QLineEdit* obstacleDistanceEdit() const { return obstacleDistanceEdit_; }
    QLineEdit* obstacleHeightEdit() const { return obstacleHeightEdit_; }
    QLineEdit* antennaHeightEdit() const { return antennaHeightEdit_; }
    QPushButton* clearanceButton() const { return clearanceButton_; }
    QLabel* clearanceValue() const { return clearanceValue_; }

    // The button row.
    QCheckBox* declinationCheck() const { return declinationCheck_; }
    QPushButton* saveReportButton() const { return saveReportButton_; }
    QPushButton* copyReportButton() const { return copyReportButton_; }
    QPushButton* satelliteMapButton() const { return satelliteMapButton_; }
    QPushButton* strengthMapButton() const { return strengthMapButton_; }
    QPushButton* sunOutageButton() const { return sunOutageButton_; }
    QPushButton* sunDirectionButton() const { return sunDirectionButton_; }

    // The diagram: exactly 777 x 288 under the groups.
    DiagramCanvas* diagramCanvas() const { return diagramCanvas_; }
    QWidget* diagramArea() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildSelectionGroup(QWidget* parent);
    QWidget* buildAngleGroup(QWidget* parent);
    QWidget* buildDishSizeGroup(QWidget* parent);
    QWidget* buildFeedSpacingGroup(QWidget* parent);
    QWidget* buildObstacleGroup(QWidget* parent);
    QWidget* buildButtonRow(QWidget* parent);
    QPoint originInTabControl() const;
    void placeAreas();

    QWidget* upperArea_ = nullptr;
    DiagramCanvas* diagramCanvas_ = nullptr;

    QComboBox* satelliteList_ = nullptr;
    QComboBox* provinceList_ = nullptr;
    QComboBox* cityList_ = nullptr;
    QLineEdit* longitudeEdit_ = nullptr;
    QLineEdit* latitudeEdit_ = nullptr;
    QRadioButton* primeFeedButton_ = nullptr;
    QRadioButton* offsetFeedButton_ = nullptr;
    QRadioButton* uprightButton_ = nullptr;
    QRadioButton* invertedButton_ = nullptr;
    QComboBox* antennaModelList_ = nullptr;
    QPushButton* calculateButton_ = nullptr;
    QLabel* azimuthLabel_ = nullptr;
    QLabel* elevationLabel_ = nullptr;
    QLabel* polarisationLabel_ = nullptr;
    QLineEdit* strengthEdit_ = nullptr;
    QPushButton* dishSizeButton_ = nullptr;
    QLabel* thresholdSizeLabel_ = nullptr;
    QLabel* recommendedSizeLabel_ = nullptr;
    QComboBox* offsetSatelliteList_ = nullptr;
    QPushButton* feedSpacingButton_ = nullptr;
    QLabel* horizontalCaption_ = nullptr;
    QLabel* horizontalValue_ = nullptr;
    QLabel* verticalCaption_ = nullptr;
    QLabel* verticalValue_ = nullptr;
    QLabel* spacingPolarisationValue_ = nullptr;
    QLineEdit* obstacleDistanceEdit_ = nullptr;
    QLineEdit* obstacleHeightEdit_ = nullptr;
    QLineEdit* antennaHeightEdit_ = nullptr;
    QPushButton* clearanceButton_ = nullptr;
    QLabel* clearanceValue_ = nullptr;
    QCheckBox* declinationCheck_ = nullptr;
    QPushButton* saveReportButton_ = nullptr;
    QPushButton* copyReportButton_ = nullptr;
    QPushButton* satelliteMapButton_ = nullptr;
    QPushButton* strengthMapButton_ = nullptr;
    QPushButton* sunOutageButton_ = nullptr;
    QPushButton* sunDirectionButton_ = nullptr;
};

} // namespace zorvast::pointing::ui
