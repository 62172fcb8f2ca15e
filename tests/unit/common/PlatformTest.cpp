// The system calls behind common/platform: the private folders against what another local user
// can plant, locks between opens and processes, a program started apart from us, and where the
// shortcuts go.
#include "common/platform/Platform.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace zorvast::common::platform {
namespace {

namespace fs = std::filesystem;
using testing::readAll;
using testing::TempFolder;

constexpr uid_t kOtherUser = 65534; // nobody

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// --- the private working area -------------------------------------------------------------

TEST(PrivateAreaChoice, RuntimeFolderOnlyWhenItIsReallyOurs) {
    TempFolder temp;
    const fs::path runtime = temp.path() / "run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    const fs::path cache = temp.path() / "cache";
    Environment env{{"XDG_RUNTIME_DIR", runtime.string()},
                    {"XDG_CACHE_HOME", cache.string()},
                    {"HOME", temp.path().string()}};
    EXPECT_EQ(privateAreaFor(env), runtime / "zorvast");

    ::chmod(runtime.c_str(), 0777); // anybody may write there: not private
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");
    ::chmod(runtime.c_str(), 0700);

    fs::create_directory_symlink(runtime, temp.path() / "runlink");
    env["XDG_RUNTIME_DIR"] = (temp.path() / "runlink").string();
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");

    env["XDG_RUNTIME_DIR"] = "relative/run";
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");
    env["XDG_RUNTIME_DIR"] = "";
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");
    env["XDG_CACHE_HOME"] = "relative";
    EXPECT_EQ(privateAreaFor(env), temp.path() / ".cache" / "zorvast");
    env["XDG_CACHE_HOME"] = "";
    EXPECT_EQ(privateAreaFor(env), temp.path() / ".cache" / "zorvast");
}

TEST(PrivateAreaChoice, DownloadsOutliveTheSessionInTheCache) {
    TempFolder temp;
    const fs::path runtime = temp.path() / "run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    const fs::path cache = temp.path() / "cache";
    Environment env{{"XDG_RUNTIME_DIR", runtime.string()},
                    {"XDG_CACHE_HOME", cache.string()},
                    {"HOME", temp.path().string()}};
    EXPECT_EQ(downloadAreaFor(env), cache / "zorvast" / "downloads");
    env["XDG_CACHE_HOME"] = "relative";
    EXPECT_EQ(downloadAreaFor(env), temp.path() / ".cache" / "zorvast" / "downloads");
}

TEST(PrivateAreaChoice, RuntimeFolderOfAnotherUserIsPassedOver) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder to another user";
    }
    TempFolder temp;
    const fs::path runtime = temp.path() / "run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    ASSERT_EQ(::chown(runtime.c_str(), kOtherUser, kOtherUser), 0);
    const fs::path cache = temp.path() / "cache";
    EXPECT_EQ(
        privateAreaFor({{"XDG_RUNTIME_DIR", runtime.string()}, {"XDG_CACHE_HOME", cache.string()}}),
        cache / "zorvast");
}

TEST(PrivateFolderCheck, CreatesMissingFoldersPrivate) {
    TempFolder temp;
    const fs::path area = temp.path() / "home" / ".cache" / "zorvast";
    EXPECT_EQ(preparePrivateFolder(area), PrivateFolderStatus::Ready);
    EXPECT_EQ(modeOf(area), 0700u);
    EXPECT_EQ(modeOf(area.parent_path()), 0700u);
    EXPECT_EQ(preparePrivateFolder(area), PrivateFolderStatus::Ready); // again: still fine
}

TEST(PrivateFolderCheck, TightensTheModeOfOurOwnFolder) {
    TempFolder temp;
    const fs::path area = temp.path() / "zorvast";
    fs::create_directories(area);
    for (mode_t loose : {0755u, 0777u, 01777u}) {
        ::chmod(area.c_str(), loose);
        EXPECT_EQ(preparePrivateFolder(area), PrivateFolderStatus::Ready) << std::oct << loose;
        EXPECT_EQ(modeOf(area), 0700u);
    }
}

TEST(PrivateFolderCheck, RefusesWhatIsNotARealFolder) {
    TempFolder temp;
    const fs::path elsewhere = temp.path() / "elsewhere";
    fs::create_directories(elsewhere);
    ::chmod(elsewhere.c_str(), 0755);
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> plant;
        PrivateFolderStatus expected;
    };
    const Case cases[] = {
        {"a link to a folder",
         [&](const fs::path& p) { fs::create_directory_symlink(elsewhere, p); },
         PrivateFolderStatus::NotAFolder},
        {"a dangling link",
         [&](const fs::path& p) { fs::create_symlink(temp.path() / "nothing", p); },
         PrivateFolderStatus::NotAFolder},
        {"a plain file", [&](const fs::path& p) { std::ofstream(p) << "x"; },
         PrivateFolderStatus::NotAFolder},
    };
    int n = 0;
    for (const Case& c : cases) {
        const fs::path area = temp.path() / ("area" + std::to_string(n++));
        c.plant(area);
        EXPECT_EQ(preparePrivateFolder(area), c.expected) << c.what;
    }
    EXPECT_EQ(modeOf(elsewhere), 0755u); // the link's target was not touched
    EXPECT_FALSE(fs::exists(temp.path() / "nothing"));
}

TEST(PrivateFolderCheck, RefusesAFolderOfAnotherUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder to another user";
    }
    TempFolder temp;
    const fs::path area = temp.path() / "zorvast";
    fs::create_directories(area);
    ::chmod(area.c_str(), 0777);
    ASSERT_EQ(::chown(area.c_str(), kOtherUser, kOtherUser), 0);
    EXPECT_EQ(preparePrivateFolder(area), PrivateFolderStatus::OtherOwner);
    EXPECT_EQ(modeOf(area), 0777u); // left as it was
}

// --- file locks ---------------------------------------------------------------------------

char letterOf(LockResult result) {
    switch (result) {
    case LockResult::Held:
        return 'H';
    case LockResult::Busy:
        return 'B';
    case LockResult::Failed:
        break;
    }
    return 'F';
}

// What a fresh process gets when it opens `file` anew for each kind and tries that lock: one
// letter per kind, H held, B busy, F failed.
std::string attemptsInAnotherProcess(const std::string& file, const std::vector<LockKind>& kinds) {
    int report[2];
    if (::pipe(report) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        std::string letters;
        for (const LockKind kind : kinds) {
            const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
            letters += letterOf(tryLock(fd, kind));
            ::close(fd);
        }
        const bool sent = ::write(report[1], letters.data(), letters.size()) ==
                          static_cast<ssize_t>(letters.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(report[1]);
    std::string letters;
    char letter = 0;
    while (child > 0 && ::read(report[0], &letter, 1) == 1) {
        letters += letter;
    }
    ::close(report[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        return "no child";
    }
    return letters;
}

TEST(FileLock, TwoOpensOfOneFileExcludeEachOther) {
    TempFolder temp;
    const std::string file = temp.write("ready.tmp", "ready\r\n");
    const struct {
        LockKind first;
        LockKind second;
        LockResult expected;
    } cases[] = {
        {LockKind::Exclusive, LockKind::Exclusive, LockResult::Busy},
        {LockKind::Exclusive, LockKind::Shared, LockResult::Busy},
        {LockKind::Shared, LockKind::Exclusive, LockResult::Busy},
        {LockKind::Shared, LockKind::Shared, LockResult::Held},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << static_cast<int>(c.first) << " then " << static_cast<int>(c.second));
        const int first = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
        const int second = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(first, 0);
        ASSERT_GE(second, 0);
        EXPECT_EQ(tryLock(first, c.first), LockResult::Held);
        EXPECT_EQ(tryLock(second, c.second), c.expected);
        ::close(first); // closing drops the lock
        EXPECT_EQ(tryLock(second, c.second), LockResult::Held);
        ::close(second);
    }
}

TEST(FileLock, AnotherProcessIsKeptOutWhileWeHoldIt) {
    TempFolder temp;
    const std::string file = temp.write("ready.tmp", "ready\r\n");
    const std::vector<LockKind> both = {LockKind::Exclusive, LockKind::Shared};
    EXPECT_EQ(attemptsInAnotherProcess(file, both), "HH") << "nobody holds it yet";

    const int ours = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(ours, 0);
    ASSERT_EQ(tryLock(ours, LockKind::Exclusive), LockResult::Held);
    EXPECT_EQ(attemptsInAnotherProcess(file, both), "BB");
    ::close(ours);

    const int shared = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(tryLock(shared, LockKind::Shared), LockResult::Held);
    EXPECT_EQ(attemptsInAnotherProcess(file, both), "BH");
    ::close(shared);
}

TEST(FileLock, ALockEndsWithTheProcessThatHeldIt) {
    TempFolder temp;
    const std::string file = temp.write("ready.tmp", "ready\r\n");
    int report[2];
    int release[2];
    ASSERT_EQ(::pipe(report), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        ::close(release[1]);
        const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
        const char letter = letterOf(tryLock(fd, LockKind::Exclusive));
        char nothing = 0;
        // Held until we are told to end; the descriptor is never closed by hand.
        const bool ok = ::write(report[1], &letter, 1) == 1 && ::read(release[0], &nothing, 1) >= 0;
        ::_exit(ok ? 0 : 1);
    }
    ::close(report[1]);
    ::close(release[0]);
    char letter = 0;
    ASSERT_EQ(::read(report[0], &letter, 1), 1);
    EXPECT_EQ(letter, 'H');
    const int ours = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(tryLock(ours, LockKind::Shared), LockResult::Busy);
    EXPECT_EQ(tryLock(ours, LockKind::Exclusive), LockResult::Busy);
    ::close(release[1]); // the child reads the end and exits
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(tryLock(ours, LockKind::Exclusive), LockResult::Held);
    ::close(ours);
    ::close(report[0]);
}

TEST(FileLock, NoFileNoLock) {
    EXPECT_EQ(tryLock(-1, LockKind::Exclusive), LockResult::Failed);
    TempFolder temp;
    const int fd = ::open(temp.write("f", "x").c_str(), O_RDONLY | O_CLOEXEC);
    ::close(fd);
    EXPECT_EQ(tryLock(fd, LockKind::Shared), LockResult::Failed) << "a closed descriptor";
}

// --- programs -----------------------------------------------------------------------------

std::string joinedWithNul(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        text += argument;
        text += '\0';
    }
    return text;
}

// The session id in a /proc/<pid>/stat line; its second field may hold blanks and parentheses.
long sessionIn(const std::string& stat) {
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return -1;
    }
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string state;
    long parent = 0;
    long group = 0;
    long session = -1;
    fields >> state >> parent >> group >> session;
    return session;
}

TEST(StartDetached, RunsInItsOwnSessionInTheFolderWithTheArgumentsAsGiven) {
    TempFolder temp;
    const fs::path folder = temp.path() / R"(my "programs" $HOME 'x')";
    fs::create_directories(folder);
    // The shell is the program started here, not a go-between: it only records what it got.
    const std::string record =
        "pwd -P > folder; cat /proc/self/stat > stat; cat /proc/$$/cmdline > arguments";
    const std::vector<std::string> arguments = {
        "zorvast helper", "-c", record, "$HOME",   "a b",
        R"("q" 'r' \)",   "",   "*",    "`id`;|&", "卫星\n2"};
    const std::optional<ProcessId> child =
        startDetached({.program = "/bin/sh", .arguments = arguments, .workingFolder = folder});
    ASSERT_TRUE(child);
    int status = 0;
    ASSERT_EQ(::waitpid(static_cast<pid_t>(*child), &status, 0), *child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readAll((folder / "folder").string()), fs::canonical(folder).string() + "\n");
    EXPECT_EQ(readAll((folder / "arguments").string()), joinedWithNul(arguments));
    const long session = sessionIn(readAll((folder / "stat").string()));
    EXPECT_EQ(session, *child) << "it leads a session of its own";
    EXPECT_NE(session, ::getsid(0));
}

TEST(OwnProgramFile, IsTheFileOfThisTestProgram) {
    const fs::path own = ownProgramFile();
    EXPECT_TRUE(own.is_absolute()) << own;
    std::error_code ec;
    EXPECT_TRUE(fs::equivalent(
        own, fs::path(ZORVAST_BINARY_DIR) / "tests" / "unit" / "common" / "unit_common_platform",
        ec))
        << own;
}

// --- where the shortcuts go ---------------------------------------------------------------

class ShortcutPlacesTest : public ::testing::Test {
protected:
    fs::path desktopWith(const char* userDirs) {
        TempFolder scene;
        const fs::path home = scene.path() / "home";
        fs::create_directories(home);
        if (userDirs) {
            scene.write("home/.config/user-dirs.dirs", userDirs);
        }
        const fs::path desktop = shortcutPlaces({{"HOME", home.string()}}).desktop;
        // Reported below the home folder of this scene, so that it can be compared.
        const std::string text = desktop.string();
        return text.starts_with(home.string()) ? fs::path("~" + text.substr(home.string().size()))
                                               : desktop;
    }

    TempFolder temp;
    const fs::path home = temp.path() / "home";
    const fs::path config = temp.path() / "config"; // no user-dirs.dirs in it
};

TEST_F(ShortcutPlacesTest, MenusAndIconFollowTheDataFolder) {
    const fs::path local = home / ".local" / "share";
    const std::string quiet = config.string();
    const struct {
        const char* what;
        Environment environment;
        fs::path data;
    } cases[] = {
        {"below HOME", {{"HOME", home.string()}, {"XDG_CONFIG_HOME", quiet}}, local},
        {"XDG_DATA_HOME",
         {{"HOME", home.string()}, {"XDG_DATA_HOME", "/srv/data"}, {"XDG_CONFIG_HOME", quiet}},
         "/srv/data"},
        {"a relative XDG_DATA_HOME is passed over",
         {{"HOME", home.string()}, {"XDG_DATA_HOME", "rel/data"}, {"XDG_CONFIG_HOME", quiet}},
         local},
        {"an empty one too",
         {{"HOME", home.string()}, {"XDG_DATA_HOME", ""}, {"XDG_CONFIG_HOME", quiet}},
         local},
        {"HOME with a trailing separator",
         {{"HOME", home.string() + "/"}, {"XDG_CONFIG_HOME", quiet}},
         local},
        {"no HOME", {{"XDG_CONFIG_HOME", quiet}}, "/.local/share"},
        {"a relative HOME", {{"HOME", "rel"}, {"XDG_CONFIG_HOME", quiet}}, "/.local/share"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ShortcutPlaces places = shortcutPlaces(c.environment);
        // Compared as text: a doubled separator would be a fault too.
        EXPECT_EQ(places.startMenu.string(), (c.data / "applications").string());
        EXPECT_EQ(places.programs.string(), (c.data / "applications").string());
        EXPECT_EQ(shortcutIconFile(c.environment).string(),
                  (c.data / "icons" / "hicolor" / "256x256" / "apps" / "zorvast.png").string());
    }
}

TEST_F(ShortcutPlacesTest, TheDesktopIsTheOneUserDirsNames) {
    const struct {
        const char* what;
        const char* userDirs; // nullptr: no such file
        const char* desktop;  // ~ for the home folder
    } cases[] = {
        {"no user-dirs.dirs", nullptr, "~/Desktop"},
        {"a translated name", "XDG_DESKTOP_DIR=\"$HOME/桌面\"\n", "~/桌面"},
        {"among other folders, comments and CR LF",
         "# written by xdg-user-dirs-update\r\nXDG_DOWNLOAD_DIR=\"$HOME/下载\"\r\n"
         "XDG_DESKTOP_DIR=\"$HOME/桌面\"\r\nXDG_MUSIC_DIR=\"$HOME/Music\"\r\n",
         "~/桌面"},
        {"an absolute folder", "XDG_DESKTOP_DIR=\"/srv/desk/\"\n", "/srv/desk"},
        {"the home folder itself", "XDG_DESKTOP_DIR=\"$HOME/\"\n", "~"},
        {"unquoted", "XDG_DESKTOP_DIR=$HOME/Desk\n", "~/Desk"},
        {"without a newline at the end", "XDG_DESKTOP_DIR=\"/srv/desk\"", "/srv/desk"},
        {"the last line wins", "XDG_DESKTOP_DIR=\"$HOME/a\"\nXDG_DESKTOP_DIR=\"$HOME/b\"\n", "~/b"},
        {"no line for the desktop", "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n", "~/Desktop"},
        {"a relative folder", "XDG_DESKTOP_DIR=\"Desk\"\n", "~/Desktop"},
        {"another variable", "XDG_DESKTOP_DIR=\"$HOMEWORK/x\"\n", "~/Desktop"},
        {"an empty value", "XDG_DESKTOP_DIR=\"\"\n", "~/Desktop"},
        {"an indented line", "  XDG_DESKTOP_DIR=\"/srv/desk\"\n", "~/Desktop"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(desktopWith(c.userDirs).string(), c.desktop) << c.what;
    }
}

TEST_F(ShortcutPlacesTest, UserDirsIsReadFromTheConfigFolder) {
    temp.write("home/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/below home\"\n");
    temp.write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/from config\"\n");
    const std::string homeText = home.string();
    EXPECT_EQ(shortcutPlaces({{"HOME", homeText}, {"XDG_CONFIG_HOME", config.string()}}).desktop,
              home / "from config");
    EXPECT_EQ(shortcutPlaces({{"HOME", homeText}, {"XDG_CONFIG_HOME", "config"}}).desktop,
              home / "below home")
        << "a relative XDG_CONFIG_HOME is passed over";
    EXPECT_EQ(shortcutPlaces({{"HOME", homeText}}).desktop, home / "below home");
}

TEST_F(ShortcutPlacesTest, AUserDirsThatIsNoPlainSmallFileIsPassedOver) {
    const std::string line = "XDG_DESKTOP_DIR=\"/srv/desk\"\n";
    const struct {
        const char* what;
        std::function<void(const fs::path&)> plant;
    } cases[] = {
        {"a folder",
         [](const fs::path& p) {
             fs::create_directories(p);
         }},
        {"a FIFO",
         [](const fs::path& p) {
             ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0);
         }},
        {"too large",
         [&](const fs::path& p) {
             std::ofstream(p, std::ios::binary) << line << std::string(70000, '#') << "\n";
         }},
    };
    for (const auto& c : cases) {
        TempFolder scene;
        fs::create_directories(scene.path() / "config");
        c.plant(scene.path() / "config" / "user-dirs.dirs");
        const Environment environment = {{"HOME", scene.path().string()},
                                         {"XDG_CONFIG_HOME", (scene.path() / "config").string()}};
        EXPECT_EQ(shortcutPlaces(environment).desktop, scene.path() / "Desktop") << c.what;
    }
}

// --- shortcut files -----------------------------------------------------------------------

TEST(ShortcutText, TheCommentIsAnEscapedValueOrLeftOut) {
    Shortcut shortcut{.target = "/opt/z/zorvast", .workingFolder = "/opt/z", .comment = ""};
    const std::optional<std::string> none = shortcutText(shortcut);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->find("Comment"), std::string::npos);

    shortcut.comment = " 卫星\tof all\\\n";
    const std::optional<std::string> escaped = shortcutText(shortcut);
    ASSERT_TRUE(escaped);
    EXPECT_NE(escaped->find("\nComment=\\s卫星\\tof all\\\\\\n\n"), std::string::npos) << *escaped;

    for (const char* refused : {"a\x01z", "a\x1bz", "\xff"}) {
        shortcut.comment = refused;
        EXPECT_FALSE(shortcutText(shortcut)) << refused;
    }
}

TEST(ShortcutTarget, AnOpenFileIsReadFromItsStart) {
    TempFolder temp;
    const std::string entry = temp.write("e.desktop", "[Desktop Entry]\nExec=\"/opt/a b/z\"\n");
    const int fd = ::open(entry.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    char skipped[64];
    ASSERT_GT(::read(fd, skipped, sizeof skipped), 0); // the position is at the end now
    EXPECT_EQ(shortcutTargetOfOpenFile(fd), "/opt/a b/z");
    ::close(fd);

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "[Desktop Entry]\nExec=/x\n", 24), 24);
    EXPECT_EQ(shortcutTargetOfOpenFile(ends[0]), "") << "a pipe is no shortcut file";
    ::close(ends[0]);
    ::close(ends[1]);
    EXPECT_EQ(shortcutTargetOfOpenFile(-1), "");
}

// --- desktop entries ---------------------------------------------------------------------

std::string execLine(const std::string& text) {
    const auto start = text.find("\nExec=");
    if (start == std::string::npos) {
        return {};
    }
    return text.substr(start + 1, text.find('\n', start + 1) - start - 1);
}

// The program's shortcut, with the comment the program gives it.
Shortcut entry(const std::string& target, const fs::path& folder, const std::string& icon) {
    return {.target = target,
            .workingFolder = folder,
            .icon = icon,
            .comment = "最棒的卫视寻星资讯软件"};
}

TEST(DesktopEntry, ExecQuotesTheProgramAndEscapesIt) {
    const struct {
        const char* target;
        const char* exec;
    } cases[] = {
        {"/opt/zorvast/zorvast", R"(Exec="/opt/zorvast/zorvast")"},
        {"/opt/my z/zorvast", R"(Exec="/opt/my z/zorvast")"},
        {R"(/opt/"q"/zorvast)", R"(Exec="/opt/\\"q\\"/zorvast")"},
        {"/opt/100%/zorvast", R"(Exec="/opt/100%%/zorvast")"},
        {"/opt/%U/zorvast", R"(Exec="/opt/%%U/zorvast")"},
        {R"(/opt/a\b/zorvast)", R"(Exec="/opt/a\\\\b/zorvast")"},
        {"/opt/$HOME/zorvast", R"(Exec="/opt/\\$HOME/zorvast")"},
        {"/opt/`id`/zorvast", R"(Exec="/opt/\\`id\\`/zorvast")"},
        {"/opt/it's/zorvast", R"(Exec="/opt/it's/zorvast")"},
        {"/opt/卫星 软件/zorvast", R"(Exec="/opt/卫星 软件/zorvast")"},
        {"/opt/;|&<>*?#()~/z", R"(Exec="/opt/;|&<>*?#()~/z")"},
        {R"(/o\"$`%\\/z)", R"(Exec="/o\\\\\\"\\$\\`%%\\\\\\\\/z")"},
    };
    TempFolder temp;
    for (const auto& c : cases) {
        const auto text = shortcutText(entry(c.target, "/opt", "zorvast"));
        ASSERT_TRUE(text) << c.target;
        EXPECT_EQ(execLine(*text), c.exec) << c.target;
        // What is written reads back to the same program.
        EXPECT_EQ(shortcutTarget(temp.write("e.desktop", *text)), c.target);
    }
}

TEST(DesktopEntry, OtherValuesAreEscapedStrings) {
    const auto text = shortcutText(entry("/opt/z/zorvast", R"(/opt/a\b 卫星)", " my\ticon\n"));
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "[Desktop Entry]\n"
                     "Type=Application\n"
                     "Name=Zorvast\n"
                     "Comment=最棒的卫视寻星资讯软件\n"
                     "Exec=\"/opt/z/zorvast\"\n"
                     "Path=/opt/a\\\\b 卫星\n"
                     "Icon=\\smy\\ticon\\n\n"
                     "Terminal=false\n"
                     "Categories=Utility;\n");
    const auto noIcon = shortcutText(entry("/opt/z/zorvast", "/opt/z", ""));
    ASSERT_TRUE(noIcon);
    EXPECT_EQ(noIcon->find("Icon="), std::string::npos);
}

TEST(DesktopEntry, ControlCharactersAndBrokenTextAreRefused) {
    const struct {
        const char* what;
        std::string target;
        std::string folder;
        std::string icon;
    } cases[] = {
        {"newline in the program", "/opt/a\nb/zorvast", "/opt", "zorvast"},
        {"tab in the program", "/opt/a\tb/zorvast", "/opt", "zorvast"},
        {"carriage return in the program", "/opt/a\rb/zorvast", "/opt", "zorvast"},
        {"SOH in the program",
         "/opt/a\x01"
         "b/zorvast",
         "/opt", "zorvast"},
        {"ESC in the program",
         "/opt/a\x1b"
         "b/zorvast",
         "/opt", "zorvast"},
        {"DEL in the program",
         "/opt/a\x7f"
         "b/zorvast",
         "/opt", "zorvast"},
        {"newline in the folder", "/opt/z/zorvast", "/opt/a\nb", "zorvast"},
        {"tab in the folder", "/opt/z/zorvast", "/opt/a\tb", "zorvast"},
        {"SOH in the icon", "/opt/z/zorvast", "/opt", "zor\x01vast"},
        {"not UTF-8 in the program", "/opt/\xff/zorvast", "/opt", "zorvast"},
        {"overlong UTF-8 in the program", "/opt/\xc0\xaf/zorvast", "/opt", "zorvast"},
        {"surrogate in the program", "/opt/\xed\xa0\x80/zorvast", "/opt", "zorvast"},
        {"cut UTF-8 in the folder", "/opt/z/zorvast", "/opt/\xe5\x8d", "zorvast"},
        {"no program", "", "/opt", "zorvast"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(shortcutText(entry(c.target, c.folder, c.icon))) << c.what;
    }
    EXPECT_TRUE(shortcutText(entry("/opt/\xf0\x9f\x9b\xb0/zorvast", "/opt", "zorvast")))
        << "a four-byte character is fine";
}

TEST(ShortcutTarget, ReadsTheExecLine) {
    TempFolder temp;
    const struct {
        const char* text;
        const char* target;
    } cases[] = {
        {"[Desktop Entry]\nExec=/opt/z/zorvast\n", "/opt/z/zorvast"},
        {"[Desktop Entry]\r\nExec=/opt/z/zorvast %U\r\n", "/opt/z/zorvast"},
        {"[Desktop Entry]\nExec=\"/opt/my z/zor\\\"vast\"\n", "/opt/my z/zor\"vast"},
        {"[Desktop Entry]\nExec=\"/opt/my z/zor\\\\\"vast\" --x\n", "/opt/my z/zor\"vast"},
        {"# made by hand\n\n[Desktop Entry]\nExec = \"/opt/a b/z\" %f\n", "/opt/a b/z"},
        {"[Desktop Entry]\nExec=\\s/opt/z/zorvast\n", "/opt/z/zorvast"},
        {"[Desktop Entry]\nExec=\"/opt/100%%/z\"\n", "/opt/100%/z"},
        {"[Desktop Entry]\nExec=\"/opt/a\\\\\\\\b/z\"\n", "/opt/a\\b/z"},
        {"[Desktop Entry]\nExec=\"/opt/a\\\\nb/z\"\n", "/opt/a\\nb/z"},
        {"[Desktop Entry]\nExec=\"/opt/unfinished\n", ""},
        {"[Desktop Entry]\nExecutable=/opt/x\nTryExec=/opt/y\n", ""},
        {"[Other]\nExec=/x\n[Desktop Entry]\nName=Zorvast\n", ""},
        {"[Other]\nExec=/x\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shortcutTarget(temp.write("e.desktop", c.text)), c.target) << c.text;
    }
    EXPECT_EQ(shortcutTarget(temp.file("missing")), "");
}

TEST(ShortcutTarget, ReadsOnlyAPlainFileOfSaneSize) {
    TempFolder temp;
    const std::string entry = "[Desktop Entry]\nExec=/opt/z/zorvast\n";
    const fs::path real = temp.write("real.desktop", entry);
    fs::create_symlink(real, temp.path() / "link.desktop");
    EXPECT_EQ(shortcutTarget(temp.path() / "link.desktop"), "") << "a link is not followed";
    fs::create_directory(temp.path() / "folder.desktop");
    EXPECT_EQ(shortcutTarget(temp.path() / "folder.desktop"), "");
    ASSERT_EQ(::mkfifo(temp.file("fifo.desktop").c_str(), 0600), 0);
    EXPECT_EQ(shortcutTarget(temp.path() / "fifo.desktop"), "") << "and a FIFO does not stall";
    EXPECT_EQ(shortcutTarget(temp.write("big.desktop", entry + std::string(70000, '#'))), "");
    EXPECT_EQ(shortcutTarget(real), "/opt/z/zorvast");
}

} // namespace
} // namespace zorvast::common::platform
