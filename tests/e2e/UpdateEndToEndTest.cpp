// The online data update end to end: the publisher's server tree served over HTTP and FTP on
// 127.0.0.1 by servers this test starts and stops, and the program either run in this process
// (offscreen, with the real window) or as the built binary in a child process.
#include "channels/jet/JetConnection.h"
#include "channels/store/StoredFile.h"
#include "channels/ui/ParameterTab.h"
#include "common/Files.h"
#include "common/Zip.h"
#include "pointing/ui/PointingTab.h"
#include "shell/ui/AppController.h"
#include "shell/ui/MainWindow.h"
#include "support/ChannelFixture.h"
#include "support/LocalFtpServer.h"
#include "support/LocalHttpServer.h"
#include "support/LocalNginx.h"
#include "support/LocalProxy.h"
#include "support/TempFolder.h"
#include "support/TestCertificates.h"
#include "update/net/DownloadService.h"
#include "update/package/PackageManifest.h"
#include "update/package/PackageSignature.h"
#include "update/roles/InstanceMarker.h"
#include "update/roles/ReplaceHelper.h"
#include "update/ui/DownloadWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using namespace zorvast;
using namespace std::chrono_literals;
using shell::StartUpResult;
using shell::ui::AppController;

// A helper that failed has already recorded why; the caller stops there too.
#define CALL(expression)                                                                           \
    do {                                                                                           \
        expression;                                                                                \
        if (QTest::currentTestFailed()) {                                                          \
            return;                                                                                \
        }                                                                                          \
    } while (false)

namespace {

constexpr const char* kOldVersion = "261209";
constexpr const char* kNewVersion = "261210";
const common::EntryDate kNewDate{2026, 12, 10};
// Nothing listens on these ports here: the connection is refused at once.
constexpr const char* kDeadServer = "http://127.0.0.1:9";
constexpr const char* kOtherDeadServer = "http://127.0.0.1:1";

const QString kUpdatedText = QStringLiteral(" ◎ 最新数据日期：2026年12月10日。");
const QString kMirrorsFailedText =
    QStringLiteral(" ◎ 连接服务器错误，已停止下载，下次运行将重试。");
const QString kNoServerText =
    QStringLiteral("◎ 无法连接服务器，更新数据失败。现有数据：2024年1月1日");
const QString kNoMirrorListText =
    QStringLiteral(" ◎ 无法获取远程列表，下载已停止，下次启动软件将重试。");
const QString kStoredText = QStringLiteral(" ◎ 最新版本更新成功！");
const QString kQuestionCaption = QStringLiteral("新版Zorvast下载完成");
const QString kQuestionText =
    QStringLiteral("软件更新已下载完毕，现在立即更换新版吗？(会自动退出并重新打开本软件)\r\n"
                   "选 [取消]，则在下次打开本软件时再自动更新。");
const QString kLaterText =
    QStringLiteral(" ◎ 本软件有新版，增加更多功能，下次打开时记得及时更新。");
const QString kNothingNewerText = QStringLiteral(" ◎ 服务器上没有比现有数据更新的版本");
const QString kNoNewerProgramText = QStringLiteral(" ◎ 服务器上没有比本软件更新的版本，无需更新。");
const QString kProgramMirrorsFailedText =
    QStringLiteral(" ◎ 读远程列表发生错误，更新软件失败，下次运行本软件自动重试...");

// The file's bytes; empty when it cannot be read, also when it goes away while it is read (a
// /proc file of a process that just ended fails with ESRCH).
std::string readBytes(const fs::path& file) {
    return common::readFileBytes(file).value_or(std::string());
}

void writeBytes(const fs::path& file, const std::string& bytes) {
    if (!common::writeFileBytes(file, bytes)) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

// URLs joined the way a mirror list joins them: by the full-width comma, in GBK.
std::string mirrorList(const std::vector<std::string>& urls) {
    std::string body;
    for (const std::string& url : urls) {
        if (!body.empty()) {
            body += "\xA3\xAC";
        }
        body += url;
    }
    return body;
}

void useServers(const std::vector<std::string>& servers) {
    std::string list;
    for (const std::string& server : servers) {
        list += (list.empty() ? "" : ",") + server;
    }
    qputenv("ZORVAST_DATA_SERVERS", QByteArray::fromStdString(list));
}

std::string tailOf(const fs::path& log) {
    const std::string text = readBytes(log);
    return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        names.insert(it->path().filename().string());
    }
    return {names.begin(), names.end()};
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        out += (out.empty() ? "" : ", ") + item;
    }
    return out;
}

// Every file of that name anywhere below `root`.
std::vector<std::string> filesNamed(const fs::path& root, const std::string& name) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->path().filename() == name) {
            found.push_back(it->path().string());
        }
    }
    return found;
}

// Polls `condition` (letting the window run in between) until it holds or `limit` has passed.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit,
             std::chrono::milliseconds step = 2ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(step);
    }
    return true;
}

std::optional<ino_t> inodeOf(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return info.st_ino;
}

// The change time of a file written just now: later files compare against it.
timespec stamp(const fs::path& file) {
    writeBytes(file, "stamp");
    struct stat info {};
    ::stat(file.c_str(), &info);
    return info.st_ctim;
}

bool writtenSince(const fs::path& file, const timespec& since) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        return false;
    }
    return info.st_ctim.tv_sec > since.tv_sec ||
           (info.st_ctim.tv_sec == since.tv_sec && info.st_ctim.tv_nsec >= since.tv_nsec);
}

// --- processes, seen through /proc

struct ProcessInfo {
    pid_t pid = 0;
    pid_t parent = 0;
    char state = '?';
    std::string comm;
};

std::vector<ProcessInfo> processes() {
    std::vector<ProcessInfo> found;
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string stat = readBytes(it->path() / "stat");
        const std::size_t open = stat.find('(');
        const std::size_t close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 > stat.size()) {
            continue; // gone meanwhile
        }
        ProcessInfo info;
        info.pid = std::stoi(name);
        info.comm = stat.substr(open + 1, close - open - 1);
        std::istringstream rest(stat.substr(close + 2));
        rest >> info.state >> info.parent;
        found.push_back(info);
    }
    return found;
}

std::string linkOf(pid_t pid, const char* what) {
    std::error_code ec;
    const fs::path target = fs::read_symlink("/proc/" + std::to_string(pid) + "/" + what, ec);
    return ec ? std::string() : target.string();
}

bool isInside(const std::string& path, const fs::path& folder) {
    const std::string base = folder.string();
    return !path.empty() && (path == base || path.rfind(base + "/", 0) == 0);
}

// A live process (not a zombie) started from `file`.
pid_t processRunning(const fs::path& file) {
    for (const ProcessInfo& p : processes()) {
        if (p.state != 'Z' && linkOf(p.pid, "exe") == file.string()) {
            return p.pid;
        }
    }
    return 0;
}

// The kernel's name of a process started from `file`: its file name, cut to 15 characters.
std::string kernelName(const fs::path& file) {
    return file.filename().string().substr(0, 15);
}

// One of our own children started from `file`, finished or not: the helper, which this process
// (the program) starts from its own file; the program the helper starts is not our child.
pid_t helperStartedFrom(const fs::path& file) {
    for (const ProcessInfo& p : processes()) {
        if (p.parent == ::getpid() && p.comm == kernelName(file)) {
            return p.pid;
        }
    }
    return 0;
}

// The command line of a live process, one entry per argument.
std::vector<std::string> commandLineOf(pid_t pid) {
    const std::string text = readBytes("/proc/" + std::to_string(pid) + "/cmdline");
    std::vector<std::string> arguments;
    std::size_t start = 0;
    for (std::size_t end = text.find('\0'); end != std::string::npos;
         start = end + 1, end = text.find('\0', start)) {
        arguments.push_back(text.substr(start, end - start));
    }
    return arguments;
}

// Live processes that belong to a scene: started from inside it or working inside it (the
// program and the web engine helpers it starts).
std::vector<std::string> strayProcesses(const fs::path& root) {
    std::vector<std::string> strays;
    for (const ProcessInfo& p : processes()) {
        if (p.pid == ::getpid() || p.state == 'Z') {
            continue;
        }
        const std::string exe = linkOf(p.pid, "exe");
        const std::string cwd = linkOf(p.pid, "cwd");
        if (isInside(exe, root) || isInside(cwd, root)) {
            strays.push_back(std::to_string(p.pid) + " " + p.comm + " (" + exe + " in " + cwd +
                             ")");
        }
    }
    return strays;
}

// Kills what strayProcesses finds and waits until it is gone (children of ours are reaped).
void endStrayProcesses(const fs::path& root) {
    waitFor(
        [&] {
            bool any = false;
            for (const ProcessInfo& p : processes()) {
                if (p.pid == ::getpid()) {
                    continue;
                }
                if (p.state == 'Z') {
                    // The helpers, started from the scenes' program files.
                    if (p.parent == ::getpid() &&
                        (p.comm == "zorvast" || p.comm == "zorvast app")) {
                        ::waitpid(p.pid, nullptr, WNOHANG);
                    }
                    continue;
                }
                if (isInside(linkOf(p.pid, "exe"), root) || isInside(linkOf(p.pid, "cwd"), root)) {
                    ::kill(p.pid, SIGKILL);
                    any = true;
                }
            }
            return !any;
        },
        10s, 20ms);
}

// Whether `pid` holds the flock of the file `marker` names now (read from /proc/locks, which
// never takes the lock itself: a probe could make a starting program think another copy runs).
bool markerHeldBy(const fs::path& marker, pid_t pid) {
    const std::optional<ino_t> inode = inodeOf(marker);
    if (!inode) {
        return false;
    }
    for (const std::string& line : lines(readBytes("/proc/locks"))) {
        std::istringstream in(line);
        std::vector<std::string> fields;
        for (std::string field; in >> field;) {
            fields.push_back(field);
        }
        if (fields.size() < 6 || fields[1] != "FLOCK" || fields[3] != "WRITE") {
            continue; // a waiter ("->") or another kind of lock
        }
        const std::size_t colon = fields[5].rfind(':');
        if (fields[4] == std::to_string(pid) && colon != std::string::npos &&
            fields[5].substr(colon + 1) == std::to_string(*inode)) {
            return true;
        }
    }
    return false;
}

// The built program as a child process in `folder` (its program folder), with this process's
// environment; its output goes to `log`.
pid_t startProgram(const fs::path& folder, const fs::path& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGCHLD, SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::string program = ZORVAST_PROGRAM;
    std::vector<char*> argv{program.data(), nullptr};
    pid_t pid = 0;
    const int started =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return started == 0 ? pid : 0;
}

// waitpid with a bound; the status, or nullopt when the child did not end in time.
std::optional<int> waitForChild(pid_t pid, std::chrono::milliseconds limit) {
    int status = 0;
    pid_t ended = 0;
    if (!waitFor(
            [&] {
                ended = ::waitpid(pid, &status, WNOHANG);
                return ended != 0;
            },
            limit, 10ms) ||
        ended != pid) {
        return std::nullopt;
    }
    return status;
}

// --- packages

// The version in table sys of the database a package carries, read as start-up reads it:
// unpacked, turned into a working copy, opened.
std::optional<std::string> packageVersion(const fs::path& package, const fs::path& scratch) {
    common::removeTree(scratch);
    if (!common::extractArchive(package.string(), scratch.string()).ok) {
        return std::nullopt;
    }
    const auto stored = common::readFileBytes(scratch / "satdata.str");
    if (!stored) {
        return std::nullopt;
    }
    const auto copy = channels::store::workingCopyFromStored(
        {reinterpret_cast<const std::uint8_t*>(stored->data()), stored->size()});
    if (copy.empty() ||
        !common::writeFileBytes(scratch / "work.mdb",
                                {reinterpret_cast<const char*>(copy.data()), copy.size()})) {
        return std::nullopt;
    }
    channels::jet::JetConnection connection;
    if (!connection.open((scratch / "work.mdb").string())) {
        return std::nullopt;
    }
    const auto table = connection.loadTable("sys");
    common::removeTree(scratch);
    if (!table || table->rows.empty()) {
        return std::nullopt;
    }
    return table->rows[0][0].text;
}

// The entries of a package, in archive order.
std::vector<common::ArchiveEntry> entriesOf(const fs::path& package, const fs::path& scratch) {
    common::removeTree(scratch);
    const common::ExtractResult extracted =
        common::extractArchive(package.string(), scratch.string());
    if (!extracted.ok) {
        throw std::runtime_error("cannot unpack " + package.string() + ": " + extracted.error);
    }
    std::vector<common::ArchiveEntry> entries;
    for (const std::string& name : extracted.entries) {
        entries.push_back({name, readBytes(scratch / name), true, kNewDate});
    }
    common::removeTree(scratch);
    return entries;
}

void writeArchive(const fs::path& path, const std::vector<common::ArchiveEntry>& entries) {
    std::string error;
    if (!common::createArchive(path.string(), entries, &error)) {
        throw std::runtime_error(error);
    }
}

std::vector<common::ArchiveEntry> withoutSignature(std::vector<common::ArchiveEntry> entries) {
    std::erase_if(entries,
                  [](const common::ArchiveEntry& e) { return e.name == update::kSignatureEntry; });
    return entries;
}

// The entries signed again with the test key, the way the publisher signs them.
std::vector<common::ArchiveEntry> signedAgain(std::vector<common::ArchiveEntry> entries) {
    entries = withoutSignature(std::move(entries));
    const auto key = update::readSecretKeyFile(ZORVAST_SOURCE_DIR "/keys/test-package.sec");
    if (!key) {
        throw std::runtime_error("no test signing key");
    }
    std::vector<update::PackageEntry> plain;
    for (const common::ArchiveEntry& e : entries) {
        plain.push_back({e.name, e.data});
    }
    const auto signature = update::signPackageEntries(plain, *key);
    if (!signature) {
        throw std::runtime_error("cannot sign");
    }
    entries.push_back({update::kSignatureEntry, *signature, true, kNewDate});
    return entries;
}

// The five controls a data apply disables while it replaces the data.
bool queryControlsEnabled(shell::ui::MainWindow* w) {
    return w->parameterTab()->showResultsButton()->isEnabled() &&
           w->parameterTab()->providerShowResultsButton()->isEnabled() &&
           w->parameterTab()->channelSearchButton()->isEnabled() &&
           w->pointingTab()->provinceList()->isEnabled() &&
           w->pointingTab()->cityList()->isEnabled();
}

// Time-outs and waits short enough for a test of mirrors that never deliver: a dead or silent
// mirror is then given up within seconds instead of the minute a real link is given.
void quickTransfers(AppController& controller) {
    update::TransferPolicy& policy = controller.updateFlow().transferPolicy;
    policy.retryWait = 200ms;
    policy.retryCount = 1;
    policy.resumeWaits = {200ms};
    policy.connectTimeout = 2s;
    policy.noDataTimeout = 2s;
}

QString statusOf(AppController& controller) {
    return controller.window()->statusText()->text();
}

// Mirrors are taken in the order the list gives them.
void takeMirrorsInOrder(AppController& controller) {
    auto next = std::make_shared<int>(0);
    controller.updateFlow().randomDraw = [next](int count) {
        return (*next)++ % count + 1;
    };
}

// Watches every event the window thread handles for the download window and notes each text
// its label shows. The texts arrive as queued calls, so the label is read between any two of
// them and none is missed, however soon the window closes.
class DownloadWindowWatcher : public QObject {
public:
    bool sawWindow() const { return sawWindow_; }
    const QStringList& texts() const { return texts_; }
    update::ui::DownloadWindow* window() const { return window_; }

protected:
    bool eventFilter(QObject*, QEvent*) override {
        if (!window_) {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<update::ui::DownloadWindow*>(w); d && d->isVisible()) {
                    window_ = d;
                    sawWindow_ = true;
                }
            }
        }
        // A hidden window is closing or being destroyed: its label is no longer read.
        if (window_ && window_->isVisible()) {
            const QString text = window_->label()->text();
            if (texts_.isEmpty() || texts_.last() != text) {
                texts_.append(text);
            }
        }
        return false;
    }

private:
    QPointer<update::ui::DownloadWindow> window_;
    bool sawWindow_ = false;
    QStringList texts_;
};

// The user at the question "新版Zorvast下载完成": notes what it asked and presses `button`.
class QuestionAnswerer : public QObject {
public:
    explicit QuestionAnswerer(QString button) : button_(std::move(button)) {
        connect(&timer_, &QTimer::timeout, this, [this] { look(); });
        timer_.start(20);
    }
    int asked() const { return asked_; }
    const QString& text() const { return text_; }
    const QString& otherMessage() const { return otherMessage_; }

private:
    void look() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible()) {
                continue;
            }
            if (box->windowTitle() != kQuestionCaption) {
                otherMessage_ = box->windowTitle() + " " + box->text(); // any other box: noted
                continue;
            }
            ++asked_;
            text_ = box->text();
            if (box->icon() != QMessageBox::Information || box->buttons().size() != 2) {
                text_ += " [wrong icon or buttons]";
            }
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == button_) {
                    b->click();
                }
            }
        }
    }

    QString button_;
    QTimer timer_;
    int asked_ = 0;
    QString text_;
    QString otherMessage_;
};

// The folders of one test: a temporary folder, a program folder, a server tree.
struct Scene {
    fs::path root;
    common::ManualClock clock;

    explicit Scene(fs::path folder) : root(std::move(folder)) {
        for (const fs::path& f : {tmp(), program(), tree(), root / "apps", root / "Desktop"}) {
            fs::create_directories(f);
        }
        // Child processes find the same private working area and downloads through them.
        fs::permissions(runtime(), fs::perms::owner_all, fs::perm_options::replace);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime().string()));
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((root / "cache").string()));
    }

    // A test that failed half-way may leave a program running; it must not outlive the test.
    ~Scene() { endStrayProcesses(root); }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    fs::path runtime() const { return root / "run"; }
    fs::path tmp() const { return runtime() / "zorvast"; }
    // With a space: the restart must start the program as one file.
    fs::path program() const { return root / "program files"; }
    fs::path tree() const { return root / "tree"; }
    fs::path scratch() const { return root / "scratch"; }
    fs::path workFolder() const { return tmp() / "satdata_temp"; }
    fs::path downloads() const { return root / "cache" / "zorvast" / "downloads"; }
    fs::path stagingFolder() const { return tmp() / "satdata_temp1"; }
    fs::path helperFolder() const { return tmp() / "satdata_temp2"; }
    fs::path marker() const { return workFolder() / "ready.tmp"; }
    fs::path requestLog() const { return root / "requests.log"; }

    // The ManualClock makes every fixed wait instant; `realClock` keeps them.
    shell::ui::AppEnvironment environment(bool realClock = false) {
        shell::ui::AppEnvironment env;
        env.temporaryFolder = tmp();
        env.programFolder = program();
        env.downloadFolder = downloads();
        env.executableName = "zorvast";
        env.shortcuts = {root / "apps", root / "apps", root / "Desktop"};
        env.clock = realClock ? nullptr : &clock;
        return env;
    }

    std::vector<std::string> requests() const { return lines(readBytes(requestLog())); }
};

// The requests nginx answered for the data package, in order.
std::vector<testing::NginxAccess> packageRequests(const testing::LocalNginx& nginx) {
    std::vector<testing::NginxAccess> found;
    for (const testing::NginxAccess& a : nginx.accessEntries()) {
        if (a.request.rfind("GET /satdata.sta ", 0) == 0) {
            found.push_back(a);
        }
    }
    return found;
}

// N of a "bytes=N-" range; 0 when there is none.
std::uint64_t rangeStart(const std::string& range) {
    std::uint64_t start = 0;
    std::sscanf(range.c_str(), "bytes=%" SCNu64 "-", &start);
    return start;
}

std::uint64_t bytesIn(const fs::path& file) {
    std::error_code ec;
    const std::uint64_t size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

// Position of the first request for `path`, or -1.
int requestIndex(const std::vector<std::string>& requests, const std::string& path) {
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (requests[i] == path) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

class UpdateEndToEndTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::TempFolder> suite_;
    fs::path suiteRoot_;
    int scenes_ = 0;
    std::string oldStored_;
    std::string newStored_;
    std::string oldPackage_;
    fs::path newSource_; // the new package as the data build makes it, unsigned

    std::unique_ptr<Scene> newScene() {
        const std::string name = std::to_string(++scenes_) + "-" + QTest::currentTestFunction();
        return std::make_unique<Scene>(suiteRoot_ / name);
    }

    void writeOldPackage(const Scene& s) { writeBytes(s.program() / "satdata.sta", oldPackage_); }

    // tools/publish writes the server tree for the new package into `out`.
    void publish(const fs::path& out, const std::vector<std::string>& mirrors,
                 const char* program = ZORVAST_PROGRAM, const QStringList& extra = {}) {
        QStringList arguments = {
            ZORVAST_SOURCE_DIR "/tools/publish/publish.py",
            "--data-package",
            QString::fromStdString(newSource_.string()),
            "--program",
            program,
            "--signing-key",
            ZORVAST_SOURCE_DIR "/keys/test-package.sec",
            "--out",
            QString::fromStdString(out.string()),
            "--build",
            ZORVAST_BINARY_DIR,
        };
        for (const std::string& mirror : mirrors) {
            arguments << "--mirror" << QString::fromStdString(mirror);
        }
        arguments << extra;
        QProcess publisher;
        publisher.start("/usr/bin/python3", arguments);
        QVERIFY2(publisher.waitForFinished(60000), "the publisher did not end");
        QVERIFY2(publisher.exitStatus() == QProcess::NormalExit && publisher.exitCode() == 0,
                 publisher.readAllStandardError().constData());
        QVERIFY(fs::exists(out / "satdata.sta"));
    }

    // The run ended with the new data in place: stored, working, signed as published, and the
    // window usable with the marker held again.
    void checkUpdated(Scene& s, AppController& controller, const fs::path& published) {
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kUpdatedText, 30000);
        QVERIFY2(readBytes(s.program() / "satdata.sta") == readBytes(published),
                 "satdata.sta is not the published package");
        QCOMPARE(packageVersion(s.program() / "satdata.sta", s.scratch()),
                 std::optional<std::string>(kNewVersion));
        QVERIFY2(readBytes(s.workFolder() / "satdata.str") == newStored_,
                 "the working folder does not hold the new database");
        QCOMPARE(joined(namesIn(s.program())), std::string("satdata.sta"));
        QVERIFY(!fs::exists(s.workFolder() / "satdata.tmp"));
        QTRY_VERIFY(controller.initialisationDone());
        QTRY_VERIFY_WITH_TIMEOUT(queryControlsEnabled(controller.window()), 10000);
        QVERIFY(controller.window()->isEnabled());
        QTRY_VERIFY(controller.window()->downloadProgress()->isHidden());
        update::InstanceMarker probe;
        QVERIFY2(!probe.hold(s.marker()), "nobody holds the instance marker after the update");
    }

    // The failed update left everything as it was and the program runs on; the program folder
    // holds `programFolder`.
    void checkUnchanged(Scene& s, AppController& controller,
                        const std::string& programFolder = "satdata.sta") {
        QVERIFY2(readBytes(s.program() / "satdata.sta") == oldPackage_,
                 "satdata.sta changed although the update failed");
        QVERIFY2(readBytes(s.workFolder() / "satdata.str") == oldStored_,
                 "the working database changed although the update failed");
        QVERIFY2(readBytes(s.workFolder() / "home.htm") == "<p>home</p>",
                 "files of the failed package reached the working folder");
        QVERIFY(!fs::exists(s.stagingFolder()));
        QCOMPARE(joined(namesIn(s.program())), programFolder);
        QTRY_VERIFY(controller.initialisationDone());
        QCOMPARE(controller.initialisationOutcome(), shell::InitOutcome::Ready);
        QTRY_VERIFY_WITH_TIMEOUT(controller.window()->isEnabled(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(queryControlsEnabled(controller.window()), 10000);
        QTRY_VERIFY(controller.window()->downloadProgress()->isHidden());
        update::InstanceMarker probe;
        QVERIFY2(!probe.hold(s.marker()), "the instance marker was let go");
    }

    // The killed program's folder holds a whole package, the old or the new; a fresh start
    // reads it. `isNew` tells which of the two it was.
    void checkRestartReadsAValidPackage(Scene& s, const std::string& published, bool& isNew) {
        const std::string stored = readBytes(s.program() / "satdata.sta");
        QVERIFY2(stored == oldPackage_ || stored == published,
                 "satdata.sta is neither the old nor the new package");
        isNew = stored == published;
        QCOMPARE(packageVersion(s.program() / "satdata.sta", s.scratch()),
                 std::optional<std::string>(isNew ? kNewVersion : kOldVersion));

        useServers({kDeadServer});
        const timespec since = stamp(s.root / "restart.stamp");
        const fs::path log = s.root / "restart.log";
        const pid_t restarted = startProgram(s.program(), log);
        QVERIFY(restarted > 0);
        // Up and running on that data: the marker is held, and the initialisation has read the
        // database (the city database comes after that).
        const bool running = waitFor(
            [&] {
                return markerHeldBy(s.marker(), restarted) &&
                       writtenSince(s.workFolder() / "city.dat", since) &&
                       fs::exists(s.workFolder() / "satdata.str") &&
                       !fs::exists(s.workFolder() / "satdata.tmp");
            },
            30s);
        const bool sameData = running && readBytes(s.workFolder() / "satdata.str") ==
                                             (isNew ? newStored_ : oldStored_);
        ::kill(restarted, SIGTERM);
        const std::optional<int> status = waitForChild(restarted, 20s);
        if (!status) {
            ::kill(restarted, SIGKILL);
            waitForChild(restarted, 10s);
        }
        QVERIFY2(running, ("the restarted program did not come up:\n" + tailOf(log)).c_str());
        QVERIFY2(sameData, "the working folder does not hold the stored package's database");
        QVERIFY2(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0,
                 ("the restarted program did not end cleanly:\n" + tailOf(log)).c_str());
        QVERIFY2(!fs::exists(s.workFolder()), "the clean exit left the working folder");
        QVERIFY(!fs::exists(s.stagingFolder()));
        QVERIFY(!fs::exists(s.helperFolder()));
        QCOMPARE(joined(namesIn(s.program())), std::string("satdata.sta"));
        QVERIFY2(waitFor([&] { return strayProcesses(s.root).empty(); }, 15s),
                 joined(strayProcesses(s.root)).c_str());
    }

private slots:
    void initTestCase() {
        suite_ = std::make_unique<testing::TempFolder>();
        suiteRoot_ = fs::canonical(suite_->path());
        // The real home, configuration and temporary folders stay untouched, also by the
        // program copies this test starts (they inherit the environment).
        const fs::path home = suiteRoot_ / "home";
        const fs::path runtime = suiteRoot_ / "runtime";
        for (const fs::path& f : {home / ".config", home / ".local/share", home / ".cache",
                                  home / ".local/state", runtime}) {
            fs::create_directories(f);
        }
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        qputenv("HOME", QByteArray::fromStdString(home.string()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((home / ".config").string()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((home / ".local/share").string()));
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((home / ".cache").string()));
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString((home / ".local/state").string()));
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.string()));
        qputenv("TMPDIR", QByteArray::fromStdString(suiteRoot_.string()));
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
        useServers({kDeadServer});

        oldStored_ = testing::storedDatabase(
            {testing::satlistTable(testing::satellitesWith(40, 30, 35)),
             testing::supTable({"p1", "p2", "p3", "p4"}), testing::sysTable(kOldVersion)});
        const fs::path oldFile = suiteRoot_ / "old.sta";
        testing::writePackage(oldFile.string(), oldStored_, {{"home.htm", "<p>home</p>"}});
        oldPackage_ = readBytes(oldFile);

        // Just over the package check's size limit, with the lists and pages a data package
        // carries.
        newStored_ = testing::storedDatabase(
            {testing::satlistTable(testing::satellitesWith(41, 30, 35)),
             testing::supTable({"p1", "p2", "p3", "p4", "p5"}), testing::sysTable(kNewVersion)},
            1000100);
        QVERIFY(newStored_.size() > 1000000);
        std::vector<common::ArchiveEntry> pages;
        for (const char* page : {"home.htm", "news.htm", "tyro.htm", "datum.htm", "trade.htm"}) {
            pages.push_back({page, std::string("<html><body>") + page + " 261210</body></html>",
                             true, kNewDate});
        }
        // A picture that does not compress: the package takes some seconds on a slow link.
        std::mt19937 noise(261210);
        std::string picture(24000, '\0');
        for (char& byte : picture) {
            byte = static_cast<char>(noise() & 0xFF);
        }
        pages.push_back({"map.gif", picture, true, kNewDate});
        newSource_ = suiteRoot_ / "new.sta";
        testing::writePackage(newSource_.string(), newStored_, pages, kNewDate);
    }

    void cleanupTestCase() {
        const std::vector<std::string> strays = strayProcesses(suiteRoot_);
        suite_.reset();
        QVERIFY2(strays.empty(), joined(strays).c_str());
    }

    // --- normal mode

    void updatesWhileTheWindowRuns_data() {
        QTest::addColumn<bool>("ftp");
        QTest::newRow("HTTP mirror") << false;
        QTest::newRow("FTP mirror") << true;
    }

    void updatesWhileTheWindowRuns() {
        QFETCH(bool, ftp);
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        std::unique_ptr<testing::LocalFtpServer> ftpServer;
        if (ftp) {
            ftpServer = std::make_unique<testing::LocalFtpServer>(s->tree().string());
        }
        CALL(publish(s->tree(), {ftp ? ftpServer->url("") : http.url("")}));
        useServers({http.url("")});

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        QCOMPARE(controller.updateFlow().state.serverBase(), http.url(""));
        // Over FTP the package never came from the HTTP server.
        QCOMPARE(requestIndex(s->requests(), "/satdata.sta") >= 0, !ftp);
        controller.shutDown();
        QVERIFY(!fs::exists(s->workFolder()));
    }

    // --- first-download mode

    void aFirstDownloadRestartsIntoTheNewData() {
        const auto s = newScene();
        const fs::path programFile = s->program() / "zorvast";
        fs::copy_file(ZORVAST_PROGRAM, programFile);
        fs::permissions(programFile, fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
        testing::LocalHttpServer http({"--root", s->tree().string()});
        CALL(publish(s->tree(), {http.url("")}));
        // The restart helper and the restarted program inherit this list too.
        useServers({http.url("")});

        // The program file is the copy in the program folder (its folder and name).
        shell::ui::AppEnvironment env = s->environment();
        const timespec since = stamp(s->root / "start.stamp");
        DownloadWindowWatcher watcher;
        qApp->installEventFilter(&watcher);
        StartUpResult result = StartUpResult::Running;
        {
            AppController controller(env);
            result = controller.startUp();
        }
        qApp->removeEventFilter(&watcher);
        QCOMPARE(result, StartUpResult::Quit);
        QVERIFY(watcher.sawWindow());
        QVERIFY2(!watcher.texts().isEmpty() && watcher.texts().last() == kStoredText,
                 qPrintable(watcher.texts().join(" | ")));
        QVERIFY2(readBytes(s->program() / "satdata.sta") == readBytes(s->tree() / "satdata.sta"),
                 "satdata.sta is not the published package");

        // The helper is the program file, started by us under the helper's name; it starts the
        // program and ends.
        pid_t helper = 0;
        QVERIFY2(waitFor(
                     [&] {
                         helper = helperStartedFrom(programFile);
                         return helper > 0;
                     },
                     20s),
                 "no restart helper was started");
        const std::optional<int> helperStatus = waitForChild(helper, 30s);
        QVERIFY2(helperStatus && WIFEXITED(*helperStatus) && WEXITSTATUS(*helperStatus) == 0,
                 "the restart helper did not end cleanly");

        // The program started again from its folder, now in normal mode on the stored data.
        pid_t restarted = 0;
        const bool running = waitFor(
            [&] {
                restarted = processRunning(programFile);
                return restarted > 0 && markerHeldBy(s->marker(), restarted) &&
                       writtenSince(s->workFolder() / "city.dat", since) &&
                       fs::exists(s->workFolder() / "satdata.str");
            },
            30s);
        const bool sameData = running && readBytes(s->workFolder() / "satdata.str") == newStored_;
        if (restarted > 0) {
            ::kill(restarted, SIGTERM);
        }
        const bool ended = waitFor([&] { return processRunning(programFile) == 0; }, 20s, 10ms);
        if (!ended) {
            ::kill(restarted, SIGKILL);
        }
        QVERIFY2(running, "the restarted program did not come up with the data");
        QVERIFY2(sameData, "the restarted program does not work on the downloaded database");
        QVERIFY2(ended, "the restarted program did not end on SIGTERM");
        // Its clean exit removes its working files, the helper folder too.
        QVERIFY(waitFor([&] { return !fs::exists(s->workFolder()); }, 5s));
        QVERIFY(!fs::exists(s->helperFolder()));
        QCOMPARE(joined(namesIn(s->program())), std::string("satdata.sta, zorvast"));
        QVERIFY2(waitFor([&] { return strayProcesses(s->root).empty(); }, 15s),
                 joined(strayProcesses(s->root)).c_str());
    }

    // The built program, started under the restart helper's name with a program path as its
    // argument, starts that program in the folder it runs in and ends.
    void theRestartHelperStartsTheProgramItIsGiven() {
        const auto s = newScene();
        const fs::path target = s->program() / "start me";
        const fs::path out = s->root / "started.txt";
        writeBytes(target, "#!/bin/sh\npwd > \"" + out.string() + "\"\necho \"$0\" >> \"" +
                               out.string() + "\"\n");
        fs::permissions(target, static_cast<fs::perms>(0755));
        const std::optional<pid_t> helper = update::startDetached(
            {ZORVAST_PROGRAM, {update::kRestartHelperFile, target.string()}, s->program()});
        QVERIFY(helper.has_value());
        const std::optional<int> status = waitForChild(*helper, 30s);
        QVERIFY2(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0,
                 "the restart helper did not end cleanly");
        QVERIFY(waitFor([&] { return lines(readBytes(out)).size() == 2; }, 10s));
        QCOMPARE(joined(lines(readBytes(out))), joined({s->program().string(), target.string()}));
        // It started the program and nothing else: no working files, nothing in the folder.
        QVERIFY(!fs::exists(s->workFolder()));
        QCOMPARE(joined(namesIn(s->program())), std::string("start me"));
    }

    void aFirstDownloadThatFailsWaitsForTheUser_data() {
        QTest::addColumn<bool>("serverAnswers");
        QTest::addColumn<QString>("labelStart");
        QTest::addColumn<QString>("labelEnd");
        QTest::newRow("no server")
            << false << QStringLiteral("下载失败！无法运行，请退出稍后再试，或进入")
            << QStringLiteral("下载最新版本。");
        QTest::newRow("only a broken package")
            << true << QStringLiteral("连接服务器错误，无法运行软件，请稍后重试") << QString();
    }

    void aFirstDownloadThatFailsWaitsForTheUser() {
        QFETCH(bool, serverAnswers);
        QFETCH(QString, labelStart);
        QFETCH(QString, labelEnd);
        const auto s = newScene();
        testing::LocalHttpServer http({"--root", s->tree().string()});
        if (serverAnswers) {
            CALL(publish(s->tree(), {http.url("")}));
            const std::string whole = readBytes(s->tree() / "satdata.sta");
            writeBytes(s->tree() / "truncated.sta", whole.substr(0, whole.size() - 100));
            writeBytes(s->tree() / "du.htm", mirrorList({http.url("/truncated.sta")}));
            useServers({http.url("")});
        } else {
            useServers({kDeadServer, kOtherDeadServer});
        }

        DownloadWindowWatcher watcher;
        qApp->installEventFilter(&watcher);
        // The user reads the label and leaves through "取消并退出" (or the test gives up).
        bool answered = false;
        QTimer user;
        const auto started = std::chrono::steady_clock::now();
        QObject::connect(&user, &QTimer::timeout, [&] {
            update::ui::DownloadWindow* window = watcher.window();
            if (!window || !window->isVisible()) {
                return;
            }
            const QString label = window->label()->text();
            answered = label.startsWith(labelStart) && label.endsWith(labelEnd);
            if (answered || std::chrono::steady_clock::now() - started > 30s) {
                window->cancelButton()->click();
            }
        });
        user.start(20);
        StartUpResult result = StartUpResult::Running;
        {
            AppController controller(s->environment());
            result = controller.startUp();
        }
        user.stop();
        qApp->removeEventFilter(&watcher);
        QCOMPARE(result, StartUpResult::Quit);
        QVERIFY2(answered, qPrintable(watcher.texts().join(" | ")));
        QCOMPARE(joined(namesIn(s->program())), std::string());
        QVERIFY(!fs::exists(s->workFolder()));
        QVERIFY(!fs::exists(s->stagingFolder()));
    }

    // --- program update

    // The scene's program file, a copy of the 1.02 build under a name with a space.
    fs::path installProgram(const Scene& s) {
        const fs::path file = s.program() / "zorvast app";
        fs::copy_file(ZORVAST_PROGRAM, file);
        fs::permissions(file, static_cast<fs::perms>(0755));
        return file;
    }

    // The server offers the 1.03 build; the data on it is what the program already has.
    void publishNextProgram(const Scene& s, const std::string& mirror) {
        // No statement: it would name the newer data that dv.htm below no longer announces.
        CALL(publish(s.tree(), {mirror}, ZORVAST_NEXT_PROGRAM, {"--no-statement"}));
        QCOMPARE(readBytes(s.tree() / "sv.htm"), std::string("1.03"));
        writeBytes(s.tree() / "dv.htm", kOldVersion);
    }

    shell::ui::AppEnvironment programEnvironment(Scene& s) {
        shell::ui::AppEnvironment env = s.environment();
        env.executableName = "zorvast app";
        return env;
    }

    void aNewProgramReplacesTheOldOne_data() {
        QTest::addColumn<bool>("ftp");
        QTest::newRow("HTTP mirror") << false;
        QTest::newRow("FTP mirror") << true;
    }

    void aNewProgramReplacesTheOldOne() {
        QFETCH(bool, ftp);
        const auto s = newScene();
        writeOldPackage(*s);
        const fs::path programFile = installProgram(*s);
        testing::LocalHttpServer http({"--root", s->tree().string()});
        std::unique_ptr<testing::LocalFtpServer> ftpServer;
        if (ftp) {
            ftpServer = std::make_unique<testing::LocalFtpServer>(s->tree().string());
        }
        CALL(publishNextProgram(*s, ftp ? ftpServer->url("") : http.url("")));
        // The helper and the new program inherit this list: the new one finds itself current.
        useServers({http.url("")});

        QuestionAnswerer user(QStringLiteral("确定"));
        std::optional<int> helperStatus;
        bool waitedForUs = false;
        {
            AppController controller(programEnvironment(*s));
            QSignalSpy ended(&controller, &AppController::quitRequested);
            QCOMPARE(controller.startUp(), StartUpResult::Running);
            QTRY_VERIFY_WITH_TIMEOUT(user.asked() > 0, 30000);
            QCOMPARE(user.text(), kQuestionText);
            QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
            // The helper runs, but leaves the program alone while this copy holds its marker.
            pid_t helper = 0;
            QVERIFY2(waitFor(
                         [&] {
                             helper = helperStartedFrom(programFile);
                             return helper > 0;
                         },
                         10s),
                     "no replacement helper was started");
            std::this_thread::sleep_for(1500ms);
            waitedForUs = readBytes(programFile) == readBytes(ZORVAST_PROGRAM) &&
                          ::waitpid(helper, nullptr, WNOHANG) == 0;
            // The installed program itself, under the helper's name, told what to replace.
            QCOMPARE(joined(commandLineOf(helper)),
                     joined({update::kReplaceHelperFile, programFile.string()}));
            QCOMPARE(linkOf(helper, "cwd"), s->program().string());
            // Nothing of the update waits in the temporary folder.
            QCOMPARE(joined(filesNamed(s->tmp(), "plumo.exe")), std::string());
            controller.shutDown();
            helperStatus = waitForChild(helper, 30s);
        }
        QVERIFY2(waitedForUs, "the helper did not wait for the old program to end");
        QVERIFY2(helperStatus && WIFEXITED(*helperStatus) && WEXITSTATUS(*helperStatus) == 0,
                 "the replacement helper did not end cleanly");
        QVERIFY2(readBytes(programFile) == readBytes(ZORVAST_NEXT_PROGRAM),
                 "the program file is not the new build");
        QVERIFY(fs::status(programFile).permissions() == static_cast<fs::perms>(0755));

        // The new program came up from its usual place, on the data it found there.
        pid_t restarted = 0;
        const bool running = waitFor(
            [&] {
                restarted = processRunning(programFile);
                return restarted > 0 && markerHeldBy(s->marker(), restarted) &&
                       fs::exists(s->workFolder() / "city.dat");
            },
            30s);
        QProcess version;
        version.start(QString::fromStdString(programFile.string()), {"--version"});
        const bool answered = version.waitForFinished(20000);
        const QString printed = QString::fromUtf8(version.readAllStandardOutput()).trimmed();
        if (restarted > 0) {
            ::kill(restarted, SIGTERM);
        }
        const bool stopped = waitFor([&] { return processRunning(programFile) == 0; }, 20s, 10ms);
        QVERIFY2(running, "the new program did not start");
        QVERIFY(answered);
        QCOMPARE(printed, QStringLiteral("Zorvast 1.03"));
        QVERIFY2(stopped, "the new program did not end on SIGTERM");
        QVERIFY(waitFor([&] { return !fs::exists(s->workFolder()); }, 5s));
        QVERIFY(!fs::exists(s->helperFolder()));
        QCOMPARE(QString::fromStdString(joined(namesIn(s->program()))),
                 QStringLiteral("satdata.sta, zorvast app"));
        QVERIFY2(waitFor([&] { return strayProcesses(s->root).empty(); }, 15s),
                 joined(strayProcesses(s->root)).c_str());
    }

    void cancelKeepsTheDownloadUntilTheCleanUp() {
        const auto s = newScene();
        writeOldPackage(*s);
        const fs::path programFile = installProgram(*s);
        testing::LocalHttpServer http({"--root", s->tree().string()});
        CALL(publishNextProgram(*s, http.url("")));
        useServers({http.url("")});

        QuestionAnswerer user(QStringLiteral("取消"));
        AppController controller(programEnvironment(*s));
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kLaterText, 30000);
        QCOMPARE(user.asked(), 1);
        QVERIFY(helperStartedFrom(programFile) == 0);
        QCOMPARE(readBytes(programFile), readBytes(ZORVAST_PROGRAM));
        CALL(checkUnchanged(*s, controller, "satdata.sta, zorvast app"));
        QVERIFY(fs::exists(s->downloads() / "plumo.tmp"));
        controller.shutDown();
        QCOMPARE(joined(namesIn(s->program())), std::string("satdata.sta, zorvast app"));
        QVERIFY(!fs::exists(s->helperFolder()));
    }

    void aProgramPackageThatIsNotOursIsNeverOffered_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("status");
        QTest::newRow("plumo.exe of 400000 bytes, signed") << "small" << kLaterText;
        QTest::newRow("plumo.exe altered after signing") << "tampered" << kProgramMirrorsFailedText;
        QTest::newRow("no signature") << "unsigned" << kProgramMirrorsFailedText;
        QTest::newRow("signed with another key") << "other key" << kProgramMirrorsFailedText;
    }

    void aProgramPackageThatIsNotOursIsNeverOffered() {
        QFETCH(QString, fault);
        QFETCH(QString, status);
        const auto s = newScene();
        writeOldPackage(*s);
        const fs::path programFile = installProgram(*s);
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        CALL(publishNextProgram(*s, http.url("")));
        const fs::path package = s->tree() / "zorvast.zip";
        std::vector<common::ArchiveEntry> entries = entriesOf(package, s->scratch());
        for (common::ArchiveEntry& e : entries) {
            if (e.name == "plumo.exe" && fault == "tampered") {
                e.data[e.data.size() / 2] ^= 0x20; // one bit of the program, after signing
            }
        }
        if (fault == "small") {
            entries = signedAgain({{"plumo.exe", std::string(400000, 'z'), true, kNewDate},
                                   {update::kManifestEntry,
                                    update::formatManifest({update::PackageKind::Software, "1.03"}),
                                    true, kNewDate}});
        } else if (fault == "unsigned") {
            entries = withoutSignature(std::move(entries));
        } else if (fault == "other key") {
            const auto other = update::generateKeyPair();
            QVERIFY(other.has_value());
            std::vector<update::PackageEntry> plain;
            entries = withoutSignature(std::move(entries));
            for (const common::ArchiveEntry& e : entries) {
                plain.push_back({e.name, e.data});
            }
            entries.push_back({update::kSignatureEntry,
                               *update::signPackageEntries(plain, other->secretKey), true,
                               kNewDate});
        }
        fs::remove(package);
        writeArchive(package, entries);
        useServers({http.url("")});

        QuestionAnswerer user(QStringLiteral("确定"));
        AppController controller(programEnvironment(*s));
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), status, 30000);
        QVERIFY(requestIndex(s->requests(), "/zorvast.zip") >= 0);
        QCOMPARE(user.asked(), 0);
        QVERIFY2(user.otherMessage().isEmpty(), qPrintable(user.otherMessage()));
        QVERIFY(helperStartedFrom(programFile) == 0);
        QCOMPARE(readBytes(programFile), readBytes(ZORVAST_PROGRAM));
        // Checked in memory: no program is unpacked anywhere.
        QCOMPARE(joined(filesNamed(s->tmp(), "plumo.exe")), std::string());
        QCOMPARE(joined(filesNamed(s->tmp(), update::kReplaceHelperFile)), std::string());
        CALL(checkUnchanged(*s, controller, "satdata.sta, zorvast app"));
        QCOMPARE(fs::exists(s->downloads() / "plumo.tmp"), fault == "small");
        controller.shutDown();
        QCOMPARE(joined(namesIn(s->program())), std::string("satdata.sta, zorvast app"));
    }

    // --- faults

    void noServerAnswers() {
        const auto s = newScene();
        writeOldPackage(*s);
        useServers({kDeadServer, kOtherDeadServer});
        // Real waits: the check then reads the data date the local pages step has set.
        AppController controller(s->environment(true));
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kNoServerText, 20000);
        CALL(checkUnchanged(*s, controller));
        QVERIFY(!controller.updateFlow().state.serverReached);
        QCOMPARE(statusOf(controller), kNoServerText);
        controller.shutDown();
    }

    void anErrorPageIsNoVersionAnswer() {
        const auto s = newScene();
        writeOldPackage(*s);
        const fs::path bad = s->tree() / "bad";
        fs::create_directories(bad);
        writeBytes(bad / "dv.htm", "<html><head><title>404 Not Found</title></head><body><h1>Not "
                                   "Found</h1><p>The requested URL was not found.</p></body>"
                                   "</html>\r\n");
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        const std::string good = http.url("/good");
        CALL(publish(s->tree() / "good", {good}));
        useServers({http.url("/status/500"), http.url("/bad"), good});

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "good" / "satdata.sta"));
        QCOMPARE(controller.updateFlow().state.serverBase(), good);
        QCOMPARE(controller.updateFlow().state.serverRoot(), good + "/");
        const std::vector<std::string> asked = s->requests();
        QVERIFY2(requestIndex(asked, "/bad/dv.htm") >= 0 &&
                     requestIndex(asked, "/bad/dv.htm") < requestIndex(asked, "/good/dv.htm"),
                 joined(asked).c_str());
        QCOMPARE(requestIndex(asked, "/bad/du.htm"), -1);
        controller.shutDown();
    }

    void noMirrorListStopsTheDownload() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        CALL(publish(s->tree(), {http.url("")}));
        fs::remove(s->tree() / "du.htm");
        useServers({http.url("")});

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kNoMirrorListText, 20000);
        CALL(checkUnchanged(*s, controller));
        QVERIFY(requestIndex(s->requests(), "/du.htm") >= 0);
        QCOMPARE(requestIndex(s->requests(), "/satdata.sta"), -1);
        controller.shutDown();
    }

    void aStalledMirrorIsPassedOver_data() {
        QTest::addColumn<QString>("stalled");
        QTest::newRow("silent before its first byte") << "/silent";
        QTest::newRow("silent after 20000 bytes") << "/stall/20000";
    }

    void aStalledMirrorIsPassedOver() {
        QFETCH(QString, stalled);
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        CALL(publish(s->tree(), {http.url("")}));
        writeBytes(s->tree() / "du.htm",
                   mirrorList({http.url(stalled.toStdString()), http.url("/satdata.sta")}));
        useServers({http.url("")});

        AppController controller(s->environment());
        takeMirrorsInOrder(controller);
        quickTransfers(controller);
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        const std::vector<std::string> asked = s->requests();
        const int stalledAt = requestIndex(asked, stalled.toStdString());
        QVERIFY2(stalledAt >= 0 && stalledAt < requestIndex(asked, "/satdata.sta"),
                 joined(asked).c_str());
        controller.shutDown();
    }

    void aBrokenPackageFailsItsMirror_data() {
        QTest::addColumn<QStringList>("mirrors");
        QTest::newRow("truncated ZIP") << QStringList{"/truncated.sta"};
        QTest::newRow("entry escaping the folder") << QStringList{"/slip.sta"};
        QTest::newRow("unsigned") << QStringList{"/unsigned.sta"};
        QTest::newRow("altered after signing") << QStringList{"/tampered.sta"};
        QTest::newRow("error page instead of the package") << QStringList{"/status/404"};
        QTest::newRow("unreachable mirror") << QStringList{QString(kDeadServer) + "/satdata.sta"};
        QTest::newRow("all of them, one after the other")
            << QStringList{"/truncated.sta", "/slip.sta",   "/unsigned.sta",
                           "/tampered.sta",  "/status/404", QString(kDeadServer) + "/satdata.sta"};
    }

    void aBrokenPackageFailsItsMirror() {
        QFETCH(QStringList, mirrors);
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        CALL(publish(s->tree(), {http.url("")}));

        const fs::path published = s->tree() / "satdata.sta";
        const std::string whole = readBytes(published);
        writeBytes(s->tree() / "truncated.sta", whole.substr(0, whole.size() / 2));
        const std::vector<common::ArchiveEntry> entries = entriesOf(published, s->scratch());
        writeArchive(s->tree() / "unsigned.sta", withoutSignature(entries));
        std::vector<common::ArchiveEntry> tampered = entries;
        for (common::ArchiveEntry& e : tampered) {
            if (e.name == "satdata.str") {
                e.data[500000] = static_cast<char>(e.data[500000] ^ 0x01);
            }
        }
        writeArchive(s->tree() / "tampered.sta", tampered);
        // Signed properly: only the name that climbs out of the folder is wrong with it.
        std::vector<common::ArchiveEntry> slip = entries;
        slip.push_back({"../evil.txt", "written outside the staging folder", true, kNewDate});
        writeArchive(s->tree() / "slip.sta", signedAgain(slip));

        std::vector<std::string> urls;
        for (const QString& mirror : mirrors) {
            // A path is on the test server; a whole URL is taken as it is.
            urls.push_back(mirror.startsWith("/") ? http.url(mirror.toStdString())
                                                  : mirror.toStdString());
        }
        writeBytes(s->tree() / "du.htm", mirrorList(urls));
        useServers({http.url("")});

        AppController controller(s->environment());
        quickTransfers(controller);
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kMirrorsFailedText, 30000);
        CALL(checkUnchanged(*s, controller));
        const std::vector<std::string> asked = s->requests();
        for (const QString& mirror : mirrors) {
            QVERIFY2(!mirror.startsWith("/") || requestIndex(asked, mirror.toStdString()) >= 0,
                     qPrintable(mirror + " was never tried"));
        }
        QCOMPARE(requestIndex(asked, "/satdata.sta"), -1);
        QCOMPARE(joined(filesNamed(s->root, "evil.txt")), std::string());
        QCOMPARE(statusOf(controller), kMirrorsFailedText);
        controller.shutDown();
        QVERIFY(!fs::exists(s->workFolder()));
    }

    // --- the program killed during the update

    void aKilledUpdateLeavesAValidPackage_data() {
        QTest::addColumn<QString>("moment");
        QTest::addColumn<int>("afterMs");
        QTest::addColumn<bool>("newForSure");
        QTest::newRow("download begun") << "download" << 0 << false;
        QTest::newRow("package being checked") << "staging" << 0 << false;
        QTest::newRow("shortly after the check") << "staging" << 40 << false;
        QTest::newRow("working folder refilled") << "refilled" << 0 << false;
        QTest::newRow("package stored") << "stored" << 0 << true;
        // Ended normally once the new data is in use: the clean exit keeps the new package.
        QTest::newRow("not killed: the update completes") << "complete" << 0 << true;
    }

    void aKilledUpdateLeavesAValidPackage() {
        QFETCH(QString, moment);
        QFETCH(int, afterMs);
        QFETCH(bool, newForSure);
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalHttpServer http({"--root", s->tree().string()});
        CALL(publish(s->tree(), {http.url("")}));
        const std::string published = readBytes(s->tree() / "satdata.sta");
        useServers({http.url("")});

        const fs::path log = s->root / "first.log";
        const pid_t first = startProgram(s->program(), log);
        QVERIFY(first > 0);
        // Started on the old data; the update begins a second later.
        const bool started =
            waitFor([&] { return fs::exists(s->workFolder() / "satdata.str"); }, 20s);
        const std::optional<ino_t> oldInode = inodeOf(s->program() / "satdata.sta");
        const auto reached = [&] {
            if (moment == "download") {
                return fs::exists(s->downloads() / "satdata.tmp");
            }
            if (moment == "staging") {
                return fs::exists(s->stagingFolder());
            }
            if (moment == "refilled") {
                // The new package's home page is in the working folder.
                return readBytes(s->workFolder() / "home.htm").find("261210") != std::string::npos;
            }
            return inodeOf(s->program() / "satdata.sta") != oldInode;
        };
        bool atMoment = started && waitFor(reached, 30s, 1ms);
        const bool complete = moment == "complete";
        if (atMoment && complete) {
            // The apply goes on with the lists and pages, then writes the city database again
            // and takes the controls back: the new data is in use.
            const timespec stored = stamp(s->root / "stored.stamp");
            atMoment = waitFor(
                [&] {
                    return writtenSince(s->workFolder() / "city.dat", stored) &&
                           markerHeldBy(s->marker(), first);
                },
                30s);
        }
        if (atMoment && afterMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        }
        std::optional<int> second;
        bool firstUndisturbed = true;
        if (atMoment && complete) {
            // The new marker holder keeps a second copy out, as before the update.
            const pid_t other = startProgram(s->program(), s->root / "second.log");
            second = waitForChild(other, 20s);
            if (!second) {
                ::kill(other, SIGKILL);
                waitForChild(other, 10s);
            }
            firstUndisturbed = markerHeldBy(s->marker(), first) &&
                               readBytes(s->workFolder() / "satdata.str") == newStored_;
        }
        ::kill(first, complete ? SIGTERM : SIGKILL);
        std::optional<int> status = waitForChild(first, 20s);
        if (!status) {
            ::kill(first, SIGKILL);
            status = waitForChild(first, 10s);
        }
        QVERIFY2(atMoment, ("the update never got there:\n" + tailOf(log)).c_str());
        if (complete) {
            QVERIFY2(
                second && WIFEXITED(*second) && WEXITSTATUS(*second) == 0,
                ("a second copy did not end at once:\n" + tailOf(s->root / "second.log")).c_str());
            QVERIFY2(firstUndisturbed, "the second copy disturbed the running one");
            QVERIFY2(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0,
                     ("the program did not end cleanly:\n" + tailOf(log)).c_str());
            QVERIFY(!fs::exists(s->workFolder()));
        } else {
            QVERIFY2(status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL,
                     ("the program had ended before the kill:\n" + tailOf(log)).c_str());
        }
        QVERIFY2(waitFor([&] { return strayProcesses(s->root).empty(); }, 15s),
                 joined(strayProcesses(s->root)).c_str());

        bool isNew = false;
        CALL(checkRestartReadsAValidPackage(*s, published, isNew));
        if (newForSure) {
            QVERIFY2(isNew, "the package was stored before the kill, yet the old one is back");
        }
        qInfo("ended at \"%s\": the restart found the %s package", qPrintable(moment),
              isNew ? "new" : "old");
    }

    // --- the field: real nginx (and tinyproxy) on 127.0.0.1, slow and broken links

    // A mirror that answers after more than 3 s is waited for, not passed over.
    void aSlowFirstByteIsWaitedFor() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::NginxOptions options;
        options.firstByteDelay = 3;
        testing::LocalNginx nginx(s->root / "nginx", s->tree(), options);
        CALL(publish(s->tree(), {nginx.url("")}));
        useServers({nginx.url("")});

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        const std::vector<testing::NginxAccess> package = packageRequests(nginx);
        QCOMPARE(package.size(), std::size_t{1});
        QCOMPARE(package[0].status, 200);
        QVERIFY2(package[0].seconds >= 3.0, std::to_string(package[0].seconds).c_str());
        controller.shutDown();
    }

    // A 2 KB/s mirror killed half-way and back 4 s later: the same run resumes it.
    void aMirrorKilledMidTransferIsResumed() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::NginxOptions options;
        options.rateLimit = 2048;
        testing::LocalNginx nginx(s->root / "nginx", s->tree(), options);
        CALL(publish(s->tree(), {nginx.url("")}));
        useServers({nginx.url("")});
        const std::uint64_t size = fs::file_size(s->tree() / "satdata.sta");

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        const fs::path partial = s->downloads() / "satdata.tmp";
        QVERIFY2(waitFor([&] { return bytesIn(partial) >= size / 2; }, 60s),
                 "the download never got half-way");
        nginx.kill();
        const std::uint64_t cut = bytesIn(partial);
        QVERIFY2(cut < size, "the transfer ended before the kill");
        QTest::qWait(4000); // the window runs on while the mirror is down
        nginx.restart();

        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        const std::vector<testing::NginxAccess> package = packageRequests(nginx);
        QVERIFY2(!package.empty(), nginx.accessLog().c_str());
        const testing::NginxAccess& resumed = package.back();
        QCOMPARE(resumed.status, 206);
        QVERIFY2(resumed.range.rfind("bytes=", 0) == 0 && rangeStart(resumed.range) >= cut,
                 resumed.range.c_str());
        QVERIFY(!resumed.ifRange.empty());
        QVERIFY(!fs::exists(partial));
        controller.shutDown();
    }

    // The program ends during a download; the next start asks only for the rest.
    void aDownloadStoppedByTheProgramsEndResumesAtTheNextStart() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::NginxOptions options;
        options.rateLimit = 2048;
        testing::LocalNginx nginx(s->root / "nginx", s->tree(), options);
        CALL(publish(s->tree(), {nginx.url("")}));
        useServers({nginx.url("")});
        const fs::path partial = s->downloads() / "satdata.tmp";
        std::uint64_t kept = 0;
        {
            AppController controller(s->environment());
            QCOMPARE(controller.startUp(), StartUpResult::Running);
            QVERIFY(waitFor([&] { return bytesIn(partial) >= 4000; }, 60s));
            controller.shutDown();
        }
        kept = bytesIn(partial);
        QVERIFY2(update::readPartialDownload(partial).has_value(), "no resume record was kept");
        QVERIFY(kept > 0 && kept < fs::file_size(s->tree() / "satdata.sta"));

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        const std::vector<testing::NginxAccess> package = packageRequests(nginx);
        QVERIFY2(package.size() >= 2, nginx.accessLog().c_str());
        QCOMPARE(package.back().status, 206);
        QCOMPARE(rangeStart(package.back().range), kept);
        controller.shutDown();
    }

    // Signed packages that must not be installed although the announcement asks for them.
    void aPackageSignedAsAnotherReleaseIsRefused_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("an older package replayed as newer") << "replay";
        QTest::newRow("the installed package announced again") << "again";
    }

    void aPackageSignedAsAnotherReleaseIsRefused() {
        QFETCH(QString, fault);
        const auto s = newScene();
        testing::LocalNginx nginx(s->root / "nginx", s->tree());
        CALL(publish(s->tree(), {nginx.url("")}));
        const fs::path published = s->tree() / "satdata.sta";
        std::string installed = oldPackage_;
        if (fault == "replay") {
            // A genuine signed package of an older release than the one installed.
            std::vector<common::ArchiveEntry> older = entriesOf(published, s->scratch());
            for (common::ArchiveEntry& e : older) {
                if (e.name == update::kManifestEntry) {
                    e.data = update::formatManifest({update::PackageKind::Data, "261208"});
                }
            }
            fs::remove(published);
            writeArchive(published, signedAgain(older));
        } else {
            installed = readBytes(published); // the program already has this very package
        }
        writeBytes(s->program() / "satdata.sta", installed);
        // Whoever answers "/dv.htm" announces more; the signed statement would contradict it.
        writeBytes(s->tree() / "dv.htm", "261211");
        fs::remove(s->tree() / "release.sig");
        useServers({nginx.url("")});
        const std::optional<ino_t> before = inodeOf(s->program() / "satdata.sta");

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_VERIFY_WITH_TIMEOUT(statusOf(controller).startsWith(kNothingNewerText), 30000);
        QTRY_VERIFY(controller.initialisationDone());
        QVERIFY2(readBytes(s->program() / "satdata.sta") == installed,
                 "the installed package changed");
        QCOMPARE(inodeOf(s->program() / "satdata.sta"), before);
        QCOMPARE(packageRequests(nginx).size(), std::size_t{1});
        QVERIFY(!fs::exists(s->stagingFolder()));
        QVERIFY(!fs::exists(s->downloads() / "satdata.tmp"));
        QTRY_VERIFY_WITH_TIMEOUT(queryControlsEnabled(controller.window()), 10000);
        QTRY_VERIFY(controller.window()->downloadProgress()->isHidden());
        controller.shutDown();
    }

    // The program mirror serves a signed data package that also holds a program.
    void aDataPackageIsNeverTakenForTheProgram() {
        const auto s = newScene();
        writeOldPackage(*s);
        const fs::path programFile = installProgram(*s);
        testing::LocalNginx nginx(s->root / "nginx", s->tree());
        CALL(publishNextProgram(*s, nginx.url("")));
        const fs::path package = s->tree() / "zorvast.zip";
        std::vector<common::ArchiveEntry> entries = entriesOf(package, s->scratch());
        for (common::ArchiveEntry& e : entries) {
            if (e.name == update::kManifestEntry) {
                e.data = update::formatManifest({update::PackageKind::Data, "1.03"});
            }
        }
        fs::remove(package);
        writeArchive(package, signedAgain(entries));
        useServers({nginx.url("")});

        QuestionAnswerer user(QStringLiteral("确定"));
        AppController controller(programEnvironment(*s));
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kNoNewerProgramText, 30000);
        QCOMPARE(user.asked(), 0);
        QVERIFY(helperStartedFrom(programFile) == 0);
        QCOMPARE(readBytes(programFile), readBytes(ZORVAST_PROGRAM));
        QVERIFY(!fs::exists(s->downloads() / "plumo.tmp"));
        CALL(checkUnchanged(*s, controller, "satdata.sta, zorvast app"));
        controller.shutDown();
    }

    // The servers' signed statement is 60 days old: the update still happens, with a note.
    void anOldStatementIsNoted() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalNginx nginx(s->root / "nginx", s->tree());
        const std::time_t issued = std::time(nullptr) - 60 * 86400;
        std::tm day{};
        gmtime_r(&issued, &day);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.tm_year + 1900, day.tm_mon + 1,
                      day.tm_mday);
        CALL(publish(s->tree(), {nginx.url("")}, ZORVAST_PROGRAM, {"--issued", text}));
        useServers({nginx.url("")});

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        const QString note =
            QStringLiteral(" ◎ 注意：服务器的版本声明签发于%1年%2月%3日，已超过45天"
                           "未更新，数据服务器可能已停止更新。")
                .arg(day.tm_year + 1900)
                .arg(day.tm_mon + 1)
                .arg(day.tm_mday);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kUpdatedText + note, 40000);
        QCOMPARE(readBytes(s->program() / "satdata.sta"), readBytes(s->tree() / "satdata.sta"));
        controller.shutDown();
    }

    // An https server and mirror whose certificate comes from a CA named by ZORVAST_CA_FILE.
    void anHttpsMirrorWithItsOwnCa() {
        const auto s = newScene();
        writeOldPackage(*s);
        const testing::TestCertificates certificates =
            testing::makeTestCertificates(s->root / "certificates");
        testing::NginxOptions options;
        options.certificate = certificates.certificate;
        options.key = certificates.key;
        testing::LocalNginx nginx(s->root / "nginx", s->tree(), options);
        QVERIFY(nginx.url("").rfind("https://", 0) == 0);
        CALL(publish(s->tree(), {nginx.url("")}));
        useServers({nginx.url("")});
        qputenv("ZORVAST_CA_FILE", QByteArray::fromStdString(certificates.ca.string()));

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        QCOMPARE(packageRequests(nginx).size(), std::size_t{1});
        controller.shutDown();
        qunsetenv("ZORVAST_CA_FILE");
    }

    // The program as users start it, behind a proxy: the servers' name resolves nowhere but at
    // the proxy, which hands every request to nginx. The update and the news banner both come
    // through it.
    void throughAProxy() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalNginx nginx(s->root / "nginx", s->tree());
        testing::ProxyOptions proxyOptions;
        proxyOptions.upstreamPort = nginx.port();
        testing::LocalProxy proxy(s->root / "proxy", proxyOptions);
        const std::string server = "http://mirror.zorvast.test";
        CALL(publish(s->tree(), {server}));
        useServers({server});
        qputenv("http_proxy", QByteArray::fromStdString(proxy.url()));
        qunsetenv("no_proxy");
        qunsetenv("NO_PROXY");

        const fs::path log = s->root / "program.log";
        const pid_t program = startProgram(s->program(), log);
        qunsetenv("http_proxy");
        QVERIFY(program > 0);
        // The proxy forwards "GET http://mirror.zorvast.test:80/PATH HTTP/1.1".
        const auto through = [&](const std::string& path) {
            for (const testing::NginxAccess& a : nginx.accessEntries()) {
                if (a.request.find(path + " HTTP/") != std::string::npos && a.status == 200 &&
                    a.via.find("zorvast-test-proxy") != std::string::npos) {
                    return true;
                }
            }
            return false;
        };
        const bool updated = waitFor(
            [&] {
                return readBytes(s->program() / "satdata.sta") ==
                       readBytes(s->tree() / "satdata.sta");
            },
            60s);
        const bool banner = waitFor([&] { return through("/news.htm"); }, 60s);
        ::kill(program, SIGTERM);
        if (!waitForChild(program, 20s)) {
            ::kill(program, SIGKILL);
            waitForChild(program, 10s);
        }
        QVERIFY2(updated, ("no update through the proxy:\n" + tailOf(log)).c_str());
        QVERIFY2(through("/dv.htm") && through("/satdata.sta"), nginx.accessLog().c_str());
        QVERIFY2(banner, ("the banner did not come through the proxy:\n" + nginx.accessLog() +
                          "\n" + tailOf(log))
                             .c_str());
    }
};

QTEST_MAIN(UpdateEndToEndTest)
#include "UpdateEndToEndTest.moc"
