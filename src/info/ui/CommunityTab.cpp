#include "info/ui/CommunityTab.h"

#include "info/ui/WebPageView.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zorvast::info::ui {

namespace {

QPushButton* makeBarButton(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

CommunityTab::CommunityTab(QWidget* parent) : QWidget(parent) {
    backButton_ = makeBarButton(QStringLiteral("←后退"), this);
    forwardButton_ = makeBarButton(QStringLiteral("前进→"), this);
    refreshButton_ = makeBarButton(QStringLiteral("刷新"), this);
    stopButton_ = makeBarButton(QStringLiteral("停止"), this);
    quickEntryList_ = new QComboBox(this);
    quickEntryList_->setEditable(false);
    quickEntryList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    quickEntryList_->setMinimumContentsLength(7);
    addressEdit_ = new QLineEdit(this);
    goButton_ = makeBarButton(QStringLiteral("转到"), this);
    enlargeButton_ = makeBarButton(QStringLiteral("放大浏览窗口"), this);
    barButtons_ = {backButton_, forwardButton_, refreshButton_,
                   stopButton_, goButton_,      enlargeButton_};
    view_ = new WebPageView(this);

    auto* bar = new QHBoxLayout;
    bar->setSpacing(4);
    bar->addWidget(backButton_);
    bar->addWidget(forwardButton_);
    bar->addWidget(refreshButton_);
    bar->addWidget(stopButton_);
    bar->addSpacing(8);
    bar->addWidget(new QLabel(QStringLiteral("快速进入"), this));
    bar->addWidget(quickEntryList_);
    bar->addSpacing(8);
    bar->addWidget(new QLabel(QStringLiteral("网址"), this));
    bar->addWidget(addressEdit_, 1);
    bar->addWidget(goButton_);
    bar->addSpacing(8);
    bar->addWidget(enlargeButton_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addLayout(bar);
    layout->addWidget(view_, 1);

    // A note floating over the top of the view, not part of the layout.
    loadingLabel_ = new QLabel(QStringLiteral("请稍候，正在载入..."), this);
    loadingLabel_->setAlignment(Qt::AlignCenter);
    loadingLabel_->setAutoFillBackground(true);
    loadingLabel_->setFrameShape(QFrame::StyledPanel);
    QPalette palette = loadingLabel_->palette();
    palette.setColor(QPalette::Window, QColor(255, 255, 200));
    palette.setColor(QPalette::WindowText, QColor(128, 0, 0));
    loadingLabel_->setPalette(palette);
    loadingLabel_->hide();
    fitBarButtons();
}

void CommunityTab::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitBarButtons();
        placeLoadingLabel();
    }
}

// As wide as their captions, so the address box gets the room.
void CommunityTab::fitBarButtons() {
    for (QPushButton* button : barButtons_) {
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(button->text()) + 22);
    }
}

void CommunityTab::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeLoadingLabel();
}

void CommunityTab::placeLoadingLabel() {
    const QSize size(loadingLabel_->sizeHint().width() + 40, 28);
    const QRect area = view_->geometry();
    loadingLabel_->setGeometry(area.x() + (area.width() - size.width()) / 2, area.y() + 40,
                               size.width(), size.height());
    loadingLabel_->raise();
}

} // namespace zorvast::info::ui
