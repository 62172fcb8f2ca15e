// The transponder grid of the parameter tab: a table view that renders a GridContent. Sizes are
// grid units scaled so that the columns fill the viewport's width exactly; a whole content is
// taken in one model reset, and the small edits serve the start-up overview's cell-by-cell fill.
#pragma once

#include "channels/grid/GridContent.h"

#include <QTableView>

#include <string>

namespace zorvast::channels::ui {

class ResultGridModel;

class ResultGrid : public QTableView {
    Q_OBJECT
public:
    explicit ResultGrid(QWidget* parent = nullptr);

    // Replaces texts, styles, merges, sizes, the current cell and the enabled state at once.
    void setContent(GridContent content);
    // The current cell in it follows the view's.
    const GridContent& content() const;

    // Empties the grid to rows x columns, as GridContent::resize.
    void resizeGrid(int rows, int columns);
    void setCellText(int row, int column, const std::string& text);
    void mergeBlock(const CellBlock& block);
    void setBlockBackground(const CellBlock& block, Rgb colour);
    void setBlockForeground(const CellBlock& block, Rgb colour);
    void setBlockBold(const CellBlock& block, bool bold);
    void setBlockAlign(const CellBlock& block, CellAlign align);
    void setBlockTextHeight(const CellBlock& block, int height);
    // Grid units; 0 gives the default.
    void setRowHeightUnits(int row, int units);
    void setColumnWidthUnits(int column, int units);

    // 1-based; 0 when there is no current cell.
    int currentGridRow() const;
    int currentGridColumn() const;
    // Selects exactly the block's cells (clipped), leaving the current cell alone.
    void selectBlock(const CellBlock& block);

    // Pixels per grid unit: the viewport's width over the sum of the column widths.
    double scale() const { return scale_; }

    // Grid units of a row or column whose size is left at 0.
    static constexpr int kDefaultRowUnits = 50;
    static constexpr int kDefaultColumnUnits = 100;

signals:
    void currentCellChanged(int row, int column);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // A plain click only moves the current cell; what it selects is up to the handler of
    // currentCellChanged, which the view's own click selection would otherwise overwrite.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    void applySpans();
    void applyZoom();
    void applyColumnWidths();
    void applyRowHeights();
    int rowPixels(int row) const;
    void applyCurrentCell();
    // Also scrolls to it and makes it the only selected cell; outside the grid it is ignored.
    void setCurrentGridCell(int row, int column);
    void onCurrentChanged(const QModelIndex& current);

    ResultGridModel* model_ = nullptr;
    double scale_ = 1.0;
    int defaultRowPixels_ = 0;
    int zoomedWidth_ = -1;
};

} // namespace zorvast::channels::ui
