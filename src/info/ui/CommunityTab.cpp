#include "info/ui/CommunityTab.h"

#include "common/ui/QtText.h"
#include "common/ui/UiThread.h"
#include "info/Messages.h"
#include "info/ui/BrowserControls.h"
#include "info/ui/ForumBrowserWindow.h"
#include "info/ui/WebBrowserView.h"
#include "info/ui/WebPageView.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace zorvast::info::ui {

namespace {

constexpr auto q = common::ui::qText;

QPushButton* makeBarButton(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

CommunityTab::CommunityTab(QWidget* parent) : QWidget(parent) {
    backButton_ = makeBarButton(q(kCaptionBack), this);
    forwardButton_ = makeBarButton(q(kCaptionForward), this);
    refreshButton_ = makeBarButton(q(kCaptionRefresh), this);
    stopButton_ = makeBarButton(q(kCaptionStop), this);
    quickEntryList_ = new QComboBox(this);
    quickEntryList_->setEditable(false);
    quickEntryList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    quickEntryList_->setMinimumContentsLength(7);
    addressEdit_ = new QLineEdit(this);
    goButton_ = makeBarButton(q(kCaptionGo), this);
    enlargeButton_ = makeBarButton(q(kCaptionEnlarge), this);
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
    bar->addWidget(new QLabel(q(kCaptionQuickEntry), this));
    bar->addWidget(quickEntryList_);
    bar->addSpacing(8);
    bar->addWidget(new QLabel(q(kCaptionAddress), this));
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
    loadingLabel_ = new QLabel(q(kLoadingNote), this);
    loadingLabel_->setAlignment(Qt::AlignCenter);
    loadingLabel_->setAutoFillBackground(true);
    loadingLabel_->setFrameShape(QFrame::StyledPanel);
    QPalette palette = loadingLabel_->palette();
    palette.setColor(QPalette::Window, QColor(255, 255, 200));
    palette.setColor(QPalette::WindowText, QColor(128, 0, 0));
    loadingLabel_->setPalette(palette);
    loadingLabel_->hide();
    fitBarButtons();

    deps_.sources.root = info::forumRoot();
    // The relays look the receivers up when they fire: attach() may set them later.
    const auto relayProgress = [this](int value) {
        if (deps_.setProgress) {
            deps_.setProgress(value);
        }
    };
    const auto relayStatus = [this](const std::string& text) {
        if (deps_.setStatusText) {
            deps_.setStatusText(text);
        }
    };
    bindBrowserControls(view_->browser(), {.back = backButton_,
                                           .forward = forwardButton_,
                                           .refresh = refreshButton_,
                                           .stop = stopButton_,
                                           .go = goButton_,
                                           .address = addressEdit_,
                                           .progress = relayProgress,
                                           .status = relayStatus});
    connect(quickEntryList_, qOverload<int>(&QComboBox::activated), this,
            &CommunityTab::onQuickEntryChosen);
    connect(enlargeButton_, &QPushButton::clicked, this, [this] { openForumWindow(); });
}

void CommunityTab::attach(CommunityTabDependencies dependencies) {
    deps_ = std::move(dependencies);
    if (deps_.sources.root.empty()) {
        deps_.sources.root = info::forumRoot();
    }
}

bool CommunityTab::openCommunityTab() {
    if (!deps_.state) {
        return false;
    }
    return info::openCommunityTab(*deps_.state, *this, deps_.sources);
}

void CommunityTab::runForumJobs() {
    if (deps_.state) {
        info::runForumJobs(*deps_.state, *this, deps_.sources.root);
    }
}

ForumBrowserWindow* CommunityTab::openForumWindow() {
    QScreen* where = screen();
    const QRect area = where ? where->availableGeometry() : QRect(0, 0, 1024, 768);
    return ForumBrowserWindow::open(deps_.sources.root, area, addressEdit_->text().toStdString(),
                                    window());
}

void CommunityTab::onQuickEntryChosen(int index) {
    if (const auto address =
            info::quickEntryAddress(deps_.sources.root, quickEntryList_->count(), index)) {
        view_->browser().navigate(*address);
    }
}

info::BrowserView& CommunityTab::browser() {
    return view_->browser();
}

void CommunityTab::setLoadingNoteVisible(bool visible) {
    common::ui::postToUi(this, [this, visible] {
        if (visible) {
            placeLoadingLabel();
            loadingLabel_->show();
        } else {
            loadingLabel_->hide();
        }
    });
}

void CommunityTab::setAddressText(const std::string& text) {
    common::ui::postToUi(this,
                         [this, t = QString::fromStdString(text)] { addressEdit_->setText(t); });
}

void CommunityTab::setQuickEntryEnabled(bool enabled) {
    common::ui::postToUi(this, [this, enabled] { quickEntryList_->setEnabled(enabled); });
}

void CommunityTab::setQuickEntries(const std::vector<std::string>& names) {
    common::ui::postToUi(this, [this, names] {
        const QSignalBlocker quiet(quickEntryList_);
        quickEntryList_->clear();
        for (const std::string& name : names) {
            quickEntryList_->addItem(QString::fromStdString(name));
        }
    });
}

void CommunityTab::selectQuickEntry(int index) {
    common::ui::postToUi(this, [this, index] {
        const QSignalBlocker quiet(quickEntryList_); // a selection from code opens nothing
        quickEntryList_->setCurrentIndex(index >= 0 && index < quickEntryList_->count() ? index
                                                                                        : -1);
    });
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
