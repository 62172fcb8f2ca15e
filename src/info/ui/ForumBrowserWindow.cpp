#include "info/ui/ForumBrowserWindow.h"
#include "common/ui/QtText.h"

#include "info/Messages.h"
#include "info/forum/ForumLoader.h"
#include "info/forum/ForumWindowRules.h"
#include "info/ui/BrowserControls.h"
#include "info/ui/WebBrowserView.h"
#include "info/ui/WebPageView.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>

namespace zorvast::info::ui {

namespace {

constexpr auto q = common::ui::qText;

// The bar along the top; the browser starts right under it.
constexpr int kBarTop = 1;
constexpr int kBarHeight = 20;
constexpr int kBrowserTop = 22;
constexpr int kMargin = 2;
// Under the rule's sizes: browser height − 70, status row at height − 47.
constexpr int kBrowserHeightLess = 70;
constexpr int kStatusTopLess = 47;
constexpr int kStatusHeight = 18;
constexpr int kProgressWidth = 160;

} // namespace

ForumBrowserWindow::ForumBrowserWindow(std::string forumRoot, QWidget* parent)
    : QWidget(parent, Qt::Window), forumRoot_(std::move(forumRoot)) {
    setWindowTitle(q(kForumWindowInitialTitle));
    // A window does not take its owner's font; this one uses the main window's.
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(9);
    setFont(font);

    const auto makeButton = [this](const QString& caption) {
        auto* button = new QPushButton(caption, this);
        button->setFocusPolicy(Qt::TabFocus);
        return button;
    };
    backButton_ = makeButton(q(kForumCaptionBack));
    forwardButton_ = makeButton(q(kForumCaptionForward));
    stopButton_ = makeButton(q(kForumCaptionStop));
    refreshButton_ = makeButton(q(kForumCaptionRefresh));
    for (const ForumWindowButton& entry : kForumWindowSectionButtons) {
        QPushButton* button = makeButton(q(entry.caption));
        const std::string target =
            sectionAddress(forumRoot_, kForumSections[static_cast<std::size_t>(entry.section)]);
        sectionButtons_.append(button);
        connect(button, &QPushButton::clicked, this,
                [this, target] { view_->browser().navigate(target); });
    }
    addressLabel_ = new QLabel(q(kCaptionAddress), this);
    addressEdit_ = new QLineEdit(this);
    goButton_ = makeButton(q(kForumCaptionGo));

    view_ = new WebPageView(this);
    statusLabel_ = new QLabel(this);
    statusLabel_->setFrameShape(QFrame::StyledPanel);
    progressBar_ = new QProgressBar(this);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);

    bindBrowserControls(view_->browser(),
                        {.back = backButton_,
                         .forward = forwardButton_,
                         .refresh = refreshButton_,
                         .stop = stopButton_,
                         .go = goButton_,
                         .address = addressEdit_,
                         .progress = [bar = progressBar_](int value) { bar->setValue(value); },
                         .status =
                             [label = statusLabel_](const std::string& text) {
                                 label->setText(QString::fromStdString(text));
                             }});
    view_->browser().subscribe({.titleChanged = [this](const std::string& title) {
        setWindowTitle(QString::fromStdString(forumWindowTitle(title)));
    }});
}

void ForumBrowserWindow::placeOn(const QRect& screenArea) {
    const ForumWindowLayout layout = forumWindowLayout(screenArea.width(), screenArea.height());
    move(screenArea.x() + layout.left, screenArea.y() + layout.top);
    resize(layout.width, layout.height);
    // A hidden window gets its resize event only when shown; lay the parts out now.
    layOutParts();
}

ForumBrowserWindow* ForumBrowserWindow::open(std::string forumRoot, const QRect& screenArea,
                                             const std::string& address, QWidget* owner) {
    auto* window = new ForumBrowserWindow(std::move(forumRoot), owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->placeOn(screenArea);
    window->show();
    window->view()->browser().navigate(address);
    return window;
}

void ForumBrowserWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOutParts();
}

// The browser, the status label and the progress bar follow the window's size: for the sizes
// the screen rule gives, the browser is 4 narrower and 70 lower than the window and the status
// row lies 47 above its bottom.
void ForumBrowserWindow::layOutParts() {
    const int h = height();
    const int browserWidth = width() - 2 * kMargin;
    view_->setGeometry(kMargin, kBrowserTop, browserWidth, h - kBrowserHeightLess);
    const int statusTop = h - kStatusTopLess;
    statusLabel_->setGeometry(kMargin, statusTop, browserWidth - kProgressWidth - 4, kStatusHeight);
    progressBar_->setGeometry(kMargin + browserWidth - kProgressWidth, statusTop, kProgressWidth,
                              kStatusHeight);
    layOutBar();
}

// Buttons as wide as their captions from the left, the go button at the right end, and the
// address box taking what is left between them.
void ForumBrowserWindow::layOutBar() {
    int x = kMargin;
    const auto place = [&x](QWidget* widget, int width) {
        widget->setGeometry(x, kBarTop, width, kBarHeight);
        x += width + 2;
    };
    const auto captionWidth = [](QPushButton* button) {
        return button->fontMetrics().horizontalAdvance(button->text()) + 14;
    };
    for (QPushButton* button : {backButton_, forwardButton_, stopButton_, refreshButton_}) {
        place(button, captionWidth(button));
    }
    x += 4;
    for (QPushButton* button : sectionButtons_) {
        place(button, captionWidth(button));
    }
    x += 4;
    place(addressLabel_, addressLabel_->fontMetrics().horizontalAdvance(addressLabel_->text()) + 4);
    const int goWidth = captionWidth(goButton_);
    const int goLeft = width() - kMargin - goWidth;
    addressEdit_->setGeometry(x, kBarTop, std::max(40, goLeft - 2 - x), kBarHeight);
    goButton_->setGeometry(goLeft, kBarTop, goWidth, kBarHeight);
}

} // namespace zorvast::info::ui
