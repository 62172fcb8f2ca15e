// The scene of one end-to-end update test: its folders, the program and its helpers seen as
// processes, the window's texts and controls, and the user at the download window and the
// question. Shared by the e2e_update_* tests.
#pragma once

#include "channels/ui/ParameterTab.h"
#include "common/Clock.h"
#include "common/Files.h"
#include "common/Zip.h"
#include "pointing/ui/PointingTab.h"
#include "shell/ui/AppController.h"
#include "shell/ui/MainWindow.h"
#include "support/LocalNginx.h"
#include "update/check/UpdateFlow.h"
#include "update/ui/DownloadWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// A helper that failed has already recorded why; the caller stops there too.
#define CALL(expression)                                                                           \
    do {                                                                                           \
        expression;                                                                                \
        if (QTest::currentTestFailed()) {                                                          \
            return;                                                                                \
        }                                                                                          \
    } while (false)

namespace zorvast::testing::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using shell::ui::AppController;

inline constexpr const char* kOldVersion = "261209";
inline constexpr const char* kNewVersion = "261210";
inline const common::EntryDate kNewDate{2026, 12, 10};
// Nothing listens on these ports here: the connection is refused at once.
inline constexpr const char* kDeadServer = "http://127.0.0.1:9";
inline constexpr const char* kOtherDeadServer = "http://127.0.0.1:1";

inline const QString kUpdatedText = QStringLiteral(" ◎ 最新数据日期：2026年12月10日。");
inline const QString kMirrorsFailedText =
    QStringLiteral(" ◎ 连接服务器错误，已停止下载，下次运行将重试。");
inline const QString kNoServerText =
    QStringLiteral("◎ 无法连接服务器，更新数据失败。现有数据：2024年1月1日");
inline const QString kNoMirrorListText =
    QStringLiteral(" ◎ 无法获取远程列表，下载已停止，下次启动软件将重试。");
inline const QString kStoredText = QStringLiteral(" ◎ 最新版本更新成功！");
inline const QString kQuestionCaption = QStringLiteral("新版Zorvast下载完成");
inline const QString kQuestionText =
    QStringLiteral("软件更新已下载完毕，现在立即更换新版吗？(会自动退出并重新打开本软件)\r\n"
                   "选 [取消]，则在下次打开本软件时再自动更新。");
inline const QString kLaterText =
    QStringLiteral(" ◎ 本软件有新版，增加更多功能，下次打开时记得及时更新。");
inline const QString kNothingNewerText = QStringLiteral(" ◎ 服务器上没有比现有数据更新的版本");
inline const QString kNoNewerProgramText =
    QStringLiteral(" ◎ 服务器上没有比本软件更新的版本，无需更新。");
inline const QString kProgramMirrorsFailedText =
    QStringLiteral(" ◎ 读远程列表发生错误，更新软件失败，下次运行本软件自动重试...");

// The file's bytes; empty when it cannot be read, also when it goes away while it is read (a
// /proc file of a process that just ended fails with ESRCH).
inline std::string readBytes(const fs::path& file) {
    return common::readFileBytes(file).value_or(std::string());
}

inline void writeBytes(const fs::path& file, const std::string& bytes) {
    if (!common::writeFileBytes(file, bytes)) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

inline void useServers(const std::vector<std::string>& servers) {
    std::string list;
    for (const std::string& server : servers) {
        list += (list.empty() ? "" : ",") + server;
    }
    qputenv("ZORVAST_DATA_SERVERS", QByteArray::fromStdString(list));
}

inline std::string tailOf(const fs::path& log) {
    const std::string text = readBytes(log);
    return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

inline std::vector<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        names.insert(it->path().filename().string());
    }
    return {names.begin(), names.end()};
}

inline std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        out += (out.empty() ? "" : ", ") + item;
    }
    return out;
}

// Every file of that name anywhere below `root`.
inline std::vector<std::string> filesNamed(const fs::path& root, const std::string& name) {
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
inline bool waitFor(Condition condition, std::chrono::milliseconds limit,
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

inline std::optional<ino_t> inodeOf(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return info.st_ino;
}

// The change time of a file written just now: later files compare against it.
inline timespec stamp(const fs::path& file) {
    writeBytes(file, "stamp");
    struct stat info {};
    ::stat(file.c_str(), &info);
    return info.st_ctim;
}

inline bool writtenSince(const fs::path& file, const timespec& since) {
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

inline std::vector<ProcessInfo> processes() {
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

inline std::string linkOf(pid_t pid, const char* what) {
    std::error_code ec;
    const fs::path target = fs::read_symlink("/proc/" + std::to_string(pid) + "/" + what, ec);
    return ec ? std::string() : target.string();
}

inline bool isInside(const std::string& path, const fs::path& folder) {
    const std::string base = folder.string();
    return !path.empty() && (path == base || path.rfind(base + "/", 0) == 0);
}

// A live process (not a zombie) started from `file`.
inline pid_t processRunning(const fs::path& file) {
    for (const ProcessInfo& p : processes()) {
        if (p.state != 'Z' && linkOf(p.pid, "exe") == file.string()) {
            return p.pid;
        }
    }
    return 0;
}

// The kernel's name of a process started from `file`: its file name, cut to 15 characters.
inline std::string kernelName(const fs::path& file) {
    return file.filename().string().substr(0, 15);
}

// One of our own children started from `file`, finished or not: the helper, which this process
// (the program) starts from its own file; the program the helper starts is not our child.
inline pid_t helperStartedFrom(const fs::path& file) {
    for (const ProcessInfo& p : processes()) {
        if (p.parent == ::getpid() && p.comm == kernelName(file)) {
            return p.pid;
        }
    }
    return 0;
}

// The command line of a live process, one entry per argument.
inline std::vector<std::string> commandLineOf(pid_t pid) {
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
inline std::vector<std::string> strayProcesses(const fs::path& root) {
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
inline void endStrayProcesses(const fs::path& root) {
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
inline bool markerHeldBy(const fs::path& marker, pid_t pid) {
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
inline pid_t startProgram(const fs::path& folder, const fs::path& log) {
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
inline std::optional<int> waitForChild(pid_t pid, std::chrono::milliseconds limit) {
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

// The five controls a data apply disables while it replaces the data.
inline bool queryControlsEnabled(shell::ui::MainWindow* w) {
    return w->parameterTab()->showResultsButton()->isEnabled() &&
           w->parameterTab()->providerShowResultsButton()->isEnabled() &&
           w->parameterTab()->channelSearchButton()->isEnabled() &&
           w->pointingTab()->provinceList()->isEnabled() &&
           w->pointingTab()->cityList()->isEnabled();
}

// Time-outs and waits short enough for a test of mirrors that never deliver: a dead or silent
// mirror is then given up within seconds instead of the minute a real link is given.
inline void quickTransfers(AppController& controller) {
    update::TransferPolicy& policy = controller.updateFlow().transferPolicy;
    policy.retryWait = 200ms;
    policy.retryCount = 1;
    policy.resumeWaits = {200ms};
    policy.connectTimeout = 2s;
    policy.noDataTimeout = 2s;
}

inline QString statusOf(AppController& controller) {
    return controller.window()->statusText()->text();
}

// Mirrors are taken in the order the list gives them.
inline void takeMirrorsInOrder(AppController& controller) {
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
inline std::vector<testing::NginxAccess> packageRequests(const testing::LocalNginx& nginx) {
    std::vector<testing::NginxAccess> found;
    for (const testing::NginxAccess& a : nginx.accessEntries()) {
        if (a.request.rfind("GET /satdata.sta ", 0) == 0) {
            found.push_back(a);
        }
    }
    return found;
}

// Position of the first request for `path`, or -1.
inline int requestIndex(const std::vector<std::string>& requests, const std::string& path) {
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (requests[i] == path) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace zorvast::testing::e2e
