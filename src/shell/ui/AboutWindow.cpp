#include "shell/ui/AboutWindow.h"

#include "common/Clock.h"
#include "common/Files.h"
#include "common/ProgramVersion.h"
#include "common/ui/UiThread.h"
#include "info/forum/ForumLoader.h"
#include "info/pages/ExternalPages.h"
#include "shell/Messages.h"
#include "shell/ui/LogoArtwork.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace zorvast::shell::ui {

namespace {

constexpr int kWidth = 220;
constexpr int kStartHeight = 85;
constexpr int kFullHeight = 375;

QString displayAddress(QString address) {
    address.remove(QStringLiteral("http://"));
    address.remove(QStringLiteral("https://"));
    while (address.endsWith(QLatin1Char('/'))) {
        address.chop(1);
    }
    return address;
}

} // namespace

void runAboutSteps(const QRect& first, const AboutSteps& steps, common::Clock& clock,
                   const std::function<void(const QRect&)>& apply) {
    for (int i = 1; i <= steps.steps; ++i) {
        apply(QRect(first.topLeft() + steps.move * i,
                    QSize(first.width(), first.height() + steps.grow * i)));
        clock.sleepFor(20ms);
    }
}

QString aboutVersionText(const std::filesystem::path& workFolder) {
    const std::optional<std::string> date = common::fileDateText(workFolder / "satdata.str");
    return QString::fromUtf8(messages::kAboutSoftware) +
           QString::fromLatin1(common::programVersion()) + QString::fromUtf8(messages::kAboutData) +
           QString::fromStdString(date.value_or(messages::kNoDataDate));
}

AboutWindow::AboutWindow(QWidget* mainWindow, QToolButton* logoButton,
                         std::filesystem::path workFolder, common::Clock& clock)
    : QDialog(mainWindow, Qt::Dialog | Qt::FramelessWindowHint), mainWindow_(mainWindow),
      logoButton_(logoButton), workFolder_(std::move(workFolder)), clock_(clock) {
    setObjectName(QStringLiteral("aboutWindow"));
    setWindowTitle(QString::fromUtf8(messages::kAboutTitle));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral(
        "#aboutWindow { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(250, 250, "
        "248), stop:1 rgb(235, 236, 232)); border: 1px solid rgb(150, 160, 172); }"
        "QGroupBox { border: 1px solid rgb(184, 192, 202); border-radius: 3px; margin-top: 9px; "
        "color: rgb(36, 60, 92); font-weight: bold; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 2px; }"
        "QLabel { color: rgb(52, 60, 72); font-size: 12px; }"));
    // No layout on the window itself: its height is animated and the group is clipped meanwhile.
    setMinimumSize(0, 0);
    resize(kWidth, kFullHeight);

    group_ = new QGroupBox(QString::fromUtf8(messages::kAboutGroupTitle), this);
    group_->setGeometry(5, 2, kWidth - 10, kFullHeight - 8);
    auto* layout = new QVBoxLayout(group_);
    layout->setContentsMargins(6, 14, 6, 8);
    layout->setSpacing(6);

    logo_ = new QLabel(group_);
    logo_->setFixedSize(kLogoPictureSize);
    logo_->setAlignment(Qt::AlignCenter);
    logo_->setPixmap(logoPictureA());
    layout->addWidget(logo_, 0, Qt::AlignHCenter);

    description_ = new QLabel(group_);
    description_->setWordWrap(true);
    description_->setTextFormat(Qt::PlainText);
    description_->setText(QString::fromUtf8(messages::kAboutDescription));
    layout->addWidget(description_);

    version_ = new QLabel(group_);
    version_->setWordWrap(true);
    version_->setText(aboutVersionText(workFolder_));
    layout->addWidget(version_);

    auto* sites = new QGridLayout;
    sites->setHorizontalSpacing(0);
    sites->setVerticalSpacing(3);
    const QString addresses[3] = {QStringLiteral("http://www.zorvast.cn"),
                                  QString::fromStdString(info::paramSiteRoot()),
                                  QString::fromStdString(info::forumRoot())};
    for (int i = 0; i < 3; ++i) {
        sites->addWidget(new QLabel(QString::fromUtf8(messages::kAboutSiteCaptions[i]), group_), i,
                         0);
        links_[i] = new QLabel(group_);
        links_[i]->setTextFormat(Qt::RichText);
        links_[i]->setStyleSheet(QStringLiteral("QLabel { font-size: 11px; }"));
        links_[i]->setText(
            QStringLiteral("<a href=\"%1\" style=\"color: rgb(72, 110, 152);\">%2</a>")
                .arg(addresses[i].toHtmlEscaped(), displayAddress(addresses[i]).toHtmlEscaped()));
        links_[i]->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                           Qt::LinksAccessibleByKeyboard);
        links_[i]->setCursor(Qt::PointingHandCursor);
        connect(links_[i], &QLabel::linkActivated, this,
                [](const QString& address) { QDesktopServices::openUrl(QUrl(address)); });
        sites->addWidget(links_[i], i, 1);
    }
    sites->setColumnStretch(1, 1);
    layout->addLayout(sites);
    layout->addStretch(1);

    close_ = new QPushButton(QString::fromUtf8(messages::kAboutCloseButton), group_);
    close_->setFixedWidth(80);
    connect(close_, &QPushButton::clicked, this, &AboutWindow::closeAbout);
    layout->addWidget(close_, 0, Qt::AlignHCenter);
}

AboutWindow::~AboutWindow() {
    if (opening_.joinable()) {
        opening_.join();
    }
    setLogoButtonPicture(logoButton_, LogoPicture::A);
}

void AboutWindow::openAbout() {
    version_->setText(aboutVersionText(workFolder_));
    logo_->setPixmap(logoPictureA());
    const QRect frame = mainWindow_ ? mainWindow_->geometry() : QRect();
    setGeometry(QRect(frame.left() + 590, frame.top() + 55, kWidth, kStartHeight));
    // The logo seems to move from the button into the window.
    close_->setEnabled(false);
    setLogoButtonPicture(logoButton_, LogoPicture::Blank);
    if (opening_.joinable()) {
        opening_.join();
    }
    const QRect first = geometry();
    opening_ = std::thread([this, first] {
        runAboutSteps(first, kAboutOpening, clock_, [this](const QRect& step) {
            common::ui::postToUi(this, [this, step] { setGeometry(step); });
        });
        common::ui::postToUi(this, [this] { close_->setEnabled(true); });
    });
}

void AboutWindow::closeAbout() {
    if (closing_) {
        return;
    }
    closing_ = true;
    const QRect first = geometry();
    close_->setEnabled(false);
    runAboutSteps(first, kAboutClosing, clock_, [this](const QRect& step) {
        setGeometry(step);
        QCoreApplication::processEvents();
    });
    close_->setEnabled(true);
    QCoreApplication::processEvents();
    closing_ = false;
    QDialog::reject();
}

void AboutWindow::reject() {
    // Escape shrinks the window like "关 闭", but not while it is still growing.
    if (close_->isEnabled()) {
        closeAbout();
    }
}

} // namespace zorvast::shell::ui
