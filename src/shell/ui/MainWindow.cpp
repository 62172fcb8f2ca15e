#include "shell/ui/MainWindow.h"

#include "channels/ui/ParameterTab.h"
#include "info/ui/CommunityTab.h"
#include "info/ui/NewsTab.h"
#include "info/ui/PageTab.h"
#include "info/ui/TradeTab.h"
#include "info/ui/WebPageView.h"
#include "pointing/ui/PointingTab.h"
#include "shell/Messages.h"

#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <QToolButton>

namespace zorvast::shell::ui {

namespace {

constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 588;
constexpr QSize kBannerSize(642, 65);
constexpr QSize kLogoSize(182, 58);
constexpr QSize kTabsSize(796, 510);
constexpr int kStatusHeight = 20;
// The tab strip starts right under the logo; its first pixels lie over the banner's
// lower edge, which the banner pages leave empty.
constexpr int kTabsTop = kWindowHeight - kStatusHeight - 510;

QLabel* makeStatusField(QWidget* parent, const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    // Summaries can run over several lines; the first one is what fits.
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setContentsMargins(2, 1, 2, 0);
    return label;
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QString::fromUtf8(messages::kMainWindowTitle));
    setFixedSize(kWindowWidth, kWindowHeight);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(9);
    setFont(font);
    // Framed groups with their caption set into the frame's top edge.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #b8c2d2; border-radius: 4px; margin-top: 7px;"
        " padding-top: 5px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 7px; padding: 0px 2px; color: #1d3c78; }"));

    auto* central = new QWidget(this);
    setCentralWidget(central);
    buildTopStrip(central);
    buildTabs(central);
    buildStatusLine(central);
    // Stacking: banner at the bottom, the tabs over its lower edge, the logo on top.
    newsBanner_->lower();
    logoButton_->raise();
}

void MainWindow::buildTopStrip(QWidget* central) {
    newsBanner_ = new info::ui::WebPageView(central);
    newsBanner_->setGeometry(QRect(QPoint(0, 0), kBannerSize));

    logoButton_ = new QToolButton(central);
    logoButton_->setGeometry(QRect(QPoint(kWindowWidth - kLogoSize.width(), 0), kLogoSize));
    logoButton_->setAutoRaise(true);
    logoButton_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    logoButton_->setIconSize(kLogoSize);
    logoButton_->setFocusPolicy(Qt::NoFocus);
    logoButton_->setCursor(Qt::PointingHandCursor);
}

void MainWindow::buildTabs(QWidget* central) {
    tabs_ = new QTabWidget(central);
    tabs_->setGeometry(QRect(QPoint((kWindowWidth - kTabsSize.width()) / 2, kTabsTop), kTabsSize));
    tabs_->setUsesScrollButtons(false);

    // Built as children of the tabs so they measure themselves in the window's font.
    newsTab_ = new info::ui::NewsTab(tabs_);
    parameterTab_ = new channels::ui::ParameterTab(tabs_);
    pointingTab_ = new pointing::ui::PointingTab(tabs_);
    tyroTab_ = new info::ui::PageTab(tabs_);
    datumTab_ = new info::ui::PageTab(tabs_);
    tradeTab_ = new info::ui::TradeTab(tabs_);
    communityTab_ = new info::ui::CommunityTab(tabs_);
    QWidget* const pages[] = {newsTab_,           parameterTab_,      pointingTab_,
                              new QWidget(tabs_), new QWidget(tabs_), tyroTab_,
                              datumTab_,          tradeTab_,          communityTab_};

    int index = 0;
    for (const messages::TabCaption& tab : messages::kTabCaptions) {
        tabs_->addTab(pages[index], QString::fromUtf8(tab.caption));
        tabs_->setTabToolTip(index, QString::fromUtf8(tab.hover));
        ++index;
    }
    // The two simulation tabs exist for their indexes only.
    for (int hidden : {SimulationTabIndex, Dm500TabIndex}) {
        tabs_->setTabVisible(hidden, false);
        tabs_->setTabEnabled(hidden, false);
    }
}

void MainWindow::buildStatusLine(QWidget* central) {
    const int top = kWindowHeight - kStatusHeight;
    statusText_ = makeStatusField(central, QRect(1, top, 516, kStatusHeight));
    versionText_ = makeStatusField(central, QRect(518, top, 85, kStatusHeight));

    pageProgress_ = new QProgressBar(central);
    pageProgress_->setGeometry(604, top + 1, 196, kStatusHeight - 2);
    pageProgress_->setRange(0, 100);
    pageProgress_->setValue(0);
    pageProgress_->setTextVisible(false);

    // Thinner, across the middle of the page-load bar.
    downloadProgress_ = new QProgressBar(central);
    downloadProgress_->setGeometry(604, top + 6, 196, 8);
    downloadProgress_->setRange(0, 100);
    downloadProgress_->setValue(0);
    downloadProgress_->setTextVisible(false);
    downloadProgress_->hide();
}

} // namespace zorvast::shell::ui
