#include "shell/ui/MainWindow.h"

#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zorvast::shell::ui {

namespace {
struct TabCaption {
    const char* caption;
    const char* hover;
};

const TabCaption kTabs[] = {
    {"资 讯", "最新频道最新临传情报、业界综合资讯"},
    {"参数表", "各卫星频率参数表、节目频道搜索"},
    {"寻星计算", "方位角、仰角、极化角、信号强度、双头距离、天线口径和障碍等数值计算"},
    {"模拟寻星", "模拟寻星"},
    {"DM500寻星", "DM500寻星"},
    {"新手教程", "新手初学入门的资料、新手教程、基础知识等"},
    {"技术资料", "卫视技术资料库，含接收技术、多星技巧等"},
    {"器材交易", "器材交易交换，信息免费发布"},
    {"交流社区", "星友论坛：集星友交流讨论、星讯星闻播报、软件意见反馈等"},
};
} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Zorvast   [Marobi家族]"));
    setFixedSize(800, 588);

    tabs_ = new QTabWidget(this);
    for (const TabCaption& tab : kTabs) {
        auto* page = new QWidget(tabs_);
        const int index = tabs_->addTab(page, QString::fromUtf8(tab.caption));
        tabs_->setTabToolTip(index, QString::fromUtf8(tab.hover));
    }
    // The two simulation tabs exist for their indexes only.
    for (int index : {3, 4}) {
        tabs_->setTabVisible(index, false);
        tabs_->setTabEnabled(index, false);
    }
    setCentralWidget(tabs_);
    statusBar()->showMessage(QStringLiteral(" ◎ Zorvast 1.02"));
}

} // namespace zorvast::shell::ui
