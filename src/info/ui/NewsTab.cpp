#include "info/ui/NewsTab.h"

#include "common/ui/QtText.h"
#include "common/ui/UiThread.h"
#include "info/ui/LinkText.h"
#include "info/ui/NewsGrid.h"
#include "info/ui/WebPageView.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <algorithm>
#include <cmath>

namespace zorvast::info::ui {

namespace {

constexpr int kRows = 19;
constexpr int kColumns = 2;
// Grid units: two columns, and the heights of the header, entry and spare rows.
constexpr int kColumnUnits[kColumns] = {47, 984};
constexpr int kTotalColumnUnits = 47 + 984;
constexpr int kRowUnits[kRows] = {60, 84, 84, 84, 84, 84, 84, 84, 84, 84,
                                  84, 60, 47, 47, 47, 47, 47, 47, 47};
constexpr int kMargin = 4;
constexpr int kLinkHeight = 18;

int totalRowUnits() {
    int total = 0;
    for (int units : kRowUnits) {
        total += units;
    }
    return total;
}

// Sizes from running totals, so rounding never adds up to a gap or an overflow.
template <int N, typename Apply>
void applyScaled(const int (&units)[N], double scale, Apply apply) {
    int sum = 0;
    int edge = 0;
    for (int i = 0; i < N; ++i) {
        sum += units[i];
        const int next = static_cast<int>(std::lround(sum * scale));
        apply(i, next - edge);
        edge = next;
    }
}

} // namespace

NewsTab::NewsTab(QWidget* parent) : QWidget(parent) {
    newsGrid_ = new QTableWidget(kRows, kColumns, this);
    newsGrid_->horizontalHeader()->hide();
    newsGrid_->verticalHeader()->hide();
    newsGrid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    newsGrid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    newsGrid_->horizontalHeader()->setMinimumSectionSize(1);
    newsGrid_->verticalHeader()->setMinimumSectionSize(1);
    newsGrid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    newsGrid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    newsGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    newsGrid_->setSelectionMode(QAbstractItemView::NoSelection);
    newsGrid_->setFocusPolicy(Qt::NoFocus);
    // One line per entry: a wrapped second line would be cut by the row's lower edge.
    newsGrid_->setWordWrap(false);
    newsGrid_->setTextElideMode(Qt::ElideRight);
    newsGrid_->viewport()->installEventFilter(this);
    newsLists_ = new NewsGrid(newsGrid_);

    refreshLink_ = makeLinkLabel(common::ui::qText(info::kNewsRefreshCaption), this);
    refreshLink_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    homeView_ = new WebPageView(this);
    placeChildren();
}

info::RefreshLinks NewsTab::refreshLinks(QLabel* tradeRefreshLink) const {
    QLabel* newsLink = refreshLink_;
    auto caption = [](QLabel* label) {
        return [label](const std::string& text) {
            if (label) {
                common::ui::postToUi(label, [label, text = QString::fromStdString(text)] {
                    label->setText(linkText(text));
                });
            }
        };
    };
    info::RefreshLinks links;
    links.setNewsCaption = caption(newsLink);
    links.setTradeCaption = caption(tradeRefreshLink);
    links.setEnabled = [newsLink, tradeRefreshLink](bool enabled) {
        for (QLabel* label : {newsLink, tradeRefreshLink}) {
            if (label) {
                common::ui::postToUi(label, [label, enabled] { label->setEnabled(enabled); });
            }
        }
    };
    return links;
}

void NewsTab::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeChildren();
}

bool NewsTab::eventFilter(QObject* watched, QEvent* event) {
    // A viewport that was hidden can reach its final size without a resize event of its own;
    // it is shown with that size.
    if (watched == newsGrid_->viewport() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        fitGrid();
    }
    return QWidget::eventFilter(watched, event);
}

// The grid is as wide as it must be for all 19 rows to fit the page's height (at most
// half the page); the home page takes the rest.
void NewsTab::placeChildren() {
    const int frame = 2 * newsGrid_->frameWidth();
    const int gridHeight = std::max(0, height() - 2 * kMargin - kLinkHeight - 2);
    const double scale = static_cast<double>(gridHeight - frame) / totalRowUnits();
    const int gridWidth =
        std::min(static_cast<int>(std::floor(kTotalColumnUnits * scale)) + frame, width() / 2);
    newsGrid_->setGeometry(kMargin, kMargin, gridWidth, gridHeight);
    refreshLink_->setGeometry(kMargin, kMargin + gridHeight + 2, gridWidth, kLinkHeight);
    const int homeLeft = kMargin + gridWidth + kMargin + 2;
    homeView_->setGeometry(homeLeft, kMargin, std::max(0, width() - homeLeft - kMargin),
                           std::max(0, height() - 2 * kMargin));
    fitGrid();
}

void NewsTab::fitGrid() {
    const int width = newsGrid_->viewport()->width();
    if (width <= 0) {
        return;
    }
    // Pixels per grid unit: the two columns fill the viewport's width.
    const double scale = static_cast<double>(width) / kTotalColumnUnits;
    applyScaled(kColumnUnits, scale,
                [this](int column, int size) { newsGrid_->setColumnWidth(column, size); });
    applyScaled(kRowUnits, scale,
                [this](int row, int size) { newsGrid_->setRowHeight(row, size); });
}

} // namespace zorvast::info::ui
