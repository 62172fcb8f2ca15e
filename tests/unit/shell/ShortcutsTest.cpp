#include "shell/startup/Shortcuts.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::shell {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using common::ManualClock;
using common::platform::kShortcutFileName;
using common::platform::programPlaceIsPrivate;
using common::platform::shortcutTarget;
using testing::readAll;
using testing::TempFolder;

constexpr uid_t kNobody = 65534;

mode_t modeOf(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// The program file, with the folders made as a real installation would have them.
fs::path installProgram(const fs::path& folder, const std::string& name = "zorvast") {
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms(0755));
    const fs::path program = folder / name;
    std::ofstream(program, std::ios::binary) << "#!/bin/sh\n";
    fs::permissions(program, fs::perms(0755));
    return program;
}

class Renewal : public ::testing::Test {
protected:
    Renewal() {
        places = {.startMenu = temp.path() / "apps",
                  .programs = temp.path() / "apps",
                  .desktop = temp.path() / "Desktop"};
        program = installProgram(temp.path() / "program");
    }

    void renew(const fs::path& target) {
        renewShortcuts(places, target.string(), target.parent_path(), "zorvast", clock, [this] {
            eventRunsBeforeSleep.push_back(clock.sleepCount());
            desktopEntryDuringEvents = fs::exists(fs::symlink_status(desktopEntry()));
        });
    }
    fs::path menuEntry() const { return places.startMenu / kShortcutFileName; }
    fs::path desktopEntry() const { return places.desktop / kShortcutFileName; }

    void expectNothingWritten(const std::string& why) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(menuEntry()))) << why;
        EXPECT_FALSE(fs::exists(fs::symlink_status(desktopEntry()))) << why;
        EXPECT_TRUE(clock.sleeps().empty()) << why;
    }

    TempFolder temp;
    ShortcutPlaces places;
    fs::path program;
    ManualClock clock;
    std::vector<std::size_t> eventRunsBeforeSleep;
    std::optional<bool> desktopEntryDuringEvents;
};

TEST_F(Renewal, WritesBothEntriesWithTheirModes) {
    const mode_t old = ::umask(077); // the modes must not depend on the user's mask
    renew(program);
    ::umask(old);
    EXPECT_EQ(shortcutTarget(menuEntry()), program.string());
    EXPECT_EQ(shortcutTarget(desktopEntry()), program.string());
    EXPECT_EQ(modeOf(menuEntry()), 0644u);
    EXPECT_EQ(modeOf(desktopEntry()), 0755u);
    EXPECT_EQ(readAll(menuEntry().string()),
              *common::platform::shortcutText({.target = program.string(),
                                               .workingFolder = program.parent_path(),
                                               .icon = "zorvast",
                                               .comment = kShortcutComment}));
    EXPECT_EQ(namesIn(places.startMenu), std::vector<std::string>{kShortcutFileName})
        << "no temporary file is left behind";
    EXPECT_EQ(namesIn(places.desktop), std::vector<std::string>{kShortcutFileName});
    // Events run, then the wait, then the desktop entry.
    EXPECT_EQ(clock.sleeps(), (std::vector<std::chrono::milliseconds>{3000ms}));
    EXPECT_EQ(eventRunsBeforeSleep, std::vector<std::size_t>{0});

    clock.clearSleeps();
    renew(program);
    EXPECT_TRUE(clock.sleeps().empty()) << "pointing at the program already: left alone";
}

TEST_F(Renewal, AStaleEntryIsDeletedBeforeTheWaitAndWrittenAfter) {
    temp.write("Desktop/Zorvast.desktop", "[Desktop Entry]\nExec=/old/zorvast\n");
    temp.write("apps/Zorvast.desktop", "[Desktop Entry]\nExec=/old/zorvast\n");
    renew(program);
    EXPECT_EQ(desktopEntryDuringEvents, std::optional<bool>(false));
    EXPECT_EQ(clock.sleeps(), (std::vector<std::chrono::milliseconds>{3000ms}));
    EXPECT_EQ(shortcutTarget(desktopEntry()), program.string());
    EXPECT_EQ(shortcutTarget(menuEntry()), program.string());
    EXPECT_EQ(modeOf(menuEntry()), 0644u);
}

TEST_F(Renewal, AnAwkwardFolderNameRoundTrips) {
    const fs::path awkward =
        installProgram(temp.path() / R"(my "q" $x `y` \z% 卫星 it's)", R"(zor%%vast\ "2")");
    renew(awkward);
    EXPECT_EQ(shortcutTarget(menuEntry()), awkward.string());
    EXPECT_EQ(shortcutTarget(desktopEntry()), awkward.string());
    clock.clearSleeps();
    renew(awkward);
    EXPECT_TRUE(clock.sleeps().empty()) << "what was written is recognised as current";
}

TEST_F(Renewal, AProgramOthersCouldReplaceGetsNoEntry) {
    const struct {
        const char* what;
        std::function<fs::path(const TempFolder&)> place;
        bool privatePlace; // refused for its name alone
    } cases[] = {
        {"folder writable by everyone",
         [](const TempFolder& t) {
             const fs::path p = installProgram(t.path() / "open");
             fs::permissions(p.parent_path(), fs::perms(0777));
             return p;
         },
         false},
        {"folder writable by everyone, sticky",
         [](const TempFolder& t) {
             const fs::path p = installProgram(t.path() / "open");
             fs::permissions(p.parent_path(), fs::perms(01777));
             return p;
         },
         false},
        {"folder writable by the group",
         [](const TempFolder& t) {
             const fs::path p = installProgram(t.path() / "group");
             fs::permissions(p.parent_path(), fs::perms(0775));
             return p;
         },
         false},
        {"program writable by the group",
         [](const TempFolder& t) {
             const fs::path p = installProgram(t.path() / "program");
             fs::permissions(p, fs::perms(0775));
             return p;
         },
         false},
        {"folder above writable by everyone, not sticky",
         [](const TempFolder& t) {
             const fs::path p = installProgram(t.path() / "open" / "mine");
             fs::permissions(t.path() / "open", fs::perms(0777));
             return p;
         },
         false},
        {"reached through a link into a folder below an open one",
         [](const TempFolder& t) {
             installProgram(t.path() / "open" / "inner");
             fs::permissions(t.path() / "open", fs::perms(0777));
             fs::create_directory(t.path() / "mine");
             fs::permissions(t.path() / "mine", fs::perms(0755));
             fs::create_directory_symlink(t.path() / "open" / "inner", t.path() / "mine" / "via");
             return t.path() / "mine" / "via" / "zorvast";
         },
         false},
        {"program is a link",
         [](const TempFolder& t) {
             const fs::path real = installProgram(t.path() / "program");
             fs::create_symlink(real, t.path() / "program" / "linked");
             return t.path() / "program" / "linked";
         },
         false},
        {"program is a folder",
         [](const TempFolder& t) {
             installProgram(t.path() / "program");
             fs::create_directory(t.path() / "program" / "dir");
             return t.path() / "program" / "dir";
         },
         false},
        {"no such folder", [](const TempFolder& t) { return t.path() / "missing" / "zorvast"; },
         false},
        {"relative path", [](const TempFolder&) { return fs::path("program/zorvast"); }, false},
        {"a tab in the name",
         [](const TempFolder& t) { return installProgram(t.path() / "program", "zor\tvast"); },
         true},
        {"a newline in the folder",
         [](const TempFolder& t) { return installProgram(t.path() / "pro\ngram"); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder scene;
        places = {.startMenu = scene.path() / "apps",
                  .programs = scene.path() / "apps",
                  .desktop = scene.path() / "Desktop"};
        // An entry already there, pointing elsewhere, stays as it is.
        const std::string old = "[Desktop Entry]\nExec=/old/zorvast\n";
        scene.write("Desktop/Zorvast.desktop", old);
        const fs::path target = c.place(scene);
        EXPECT_EQ(programPlaceIsPrivate(target), c.privatePlace);
        clock.clearSleeps();
        renew(target);
        EXPECT_FALSE(fs::exists(menuEntry()));
        EXPECT_EQ(readAll(desktopEntry().string()), old);
        EXPECT_TRUE(clock.sleeps().empty());
    }
}

TEST_F(Renewal, PlacesOthersCannotChangeAreFine) {
    EXPECT_TRUE(programPlaceIsPrivate(program));
    EXPECT_TRUE(programPlaceIsPrivate(temp.path() / "program" / "not-yet-there"))
        << "only the user or root can put a file into a private folder";
    // Above the program's folder a sticky folder open to all (like /tmp) takes nothing away.
    const fs::path shared = temp.path() / "shared";
    const fs::path below = installProgram(shared / "mine");
    fs::permissions(shared, fs::perms(01777));
    EXPECT_TRUE(programPlaceIsPrivate(below));
    renew(below);
    EXPECT_EQ(shortcutTarget(menuEntry()), below.string());
}

TEST_F(Renewal, AProgramInAnotherUsersFolderGetsNoEntry) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the folders to another user";
    }
    const struct {
        const char* what;
        std::function<fs::path(const TempFolder&)> place;
    } cases[] = {
        {"the program's folder",
         [](const TempFolder& t) {
             const fs::path p = installProgram(t.path() / "theirs");
             EXPECT_EQ(::chown(p.parent_path().c_str(), kNobody, kNobody), 0);
             return p;
         }},
        {"a folder above",
         [](const TempFolder& t) {
             const fs::path p = installProgram(t.path() / "theirs" / "mine");
             EXPECT_EQ(::chown((t.path() / "theirs").c_str(), kNobody, kNobody), 0);
             return p;
         }},
        {"the program file",
         [](const TempFolder& t) {
             const fs::path p = installProgram(t.path() / "program");
             EXPECT_EQ(::chown(p.c_str(), kNobody, kNobody), 0);
             return p;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder scene;
        places = {.startMenu = scene.path() / "apps",
                  .programs = scene.path() / "apps",
                  .desktop = scene.path() / "Desktop"};
        const fs::path target = c.place(scene);
        EXPECT_FALSE(programPlaceIsPrivate(target));
        renew(target);
        expectNothingWritten(c.what);
    }
}

TEST_F(Renewal, AnEntryFolderThatIsALinkIsNotWrittenInto) {
    const fs::path elsewhere = temp.path() / "elsewhere";
    fs::create_directory(elsewhere);
    fs::create_directory_symlink(elsewhere, places.startMenu);
    renew(program);
    EXPECT_TRUE(namesIn(elsewhere).empty());
    EXPECT_EQ(shortcutTarget(desktopEntry()), program.string()) << "the desktop is still fine";
}

TEST_F(Renewal, AnEntryFolderOfAnotherUserIsNotWrittenInto) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the folder to another user";
    }
    fs::create_directory(places.desktop);
    ASSERT_EQ(::chown(places.desktop.c_str(), kNobody, kNobody), 0);
    renew(program);
    EXPECT_TRUE(namesIn(places.desktop).empty());
    EXPECT_TRUE(clock.sleeps().empty());
    EXPECT_EQ(shortcutTarget(menuEntry()), program.string());
}

// A link planted at the entry's name is replaced by a plain file of ours; whatever it pointed
// at is neither written nor created, even when it names the right program.
TEST_F(Renewal, ALinkAtTheEntryNameIsReplacedNotFollowed) {
    const std::string victimText =
        "[Desktop Entry]\nExec=\"" + program.string() + "\"\nName=planted\n";
    const fs::path victim = temp.write("victim.desktop", victimText);
    fs::permissions(victim, fs::perms(0600));
    fs::create_directories(places.startMenu);
    fs::create_symlink(victim, menuEntry());
    fs::create_directories(places.desktop);
    fs::create_symlink(temp.path() / "nothing.desktop", desktopEntry());

    renew(program);
    for (const fs::path& entry : {menuEntry(), desktopEntry()}) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(entry))) << entry;
        EXPECT_EQ(shortcutTarget(entry), program.string()) << entry;
        EXPECT_EQ(readAll(entry.string()).find("planted"), std::string::npos) << entry;
    }
    EXPECT_EQ(readAll(victim.string()), victimText);
    EXPECT_EQ(modeOf(victim), 0600u);
    EXPECT_FALSE(fs::exists(temp.path() / "nothing.desktop"));
}

TEST_F(Renewal, NoDesktopEntryWhenRunningFromTheDesktop) {
    const fs::path onDesktop = installProgram(places.desktop);
    renew(onDesktop);
    EXPECT_FALSE(fs::exists(desktopEntry()));
    EXPECT_EQ(shortcutTarget(menuEntry()), onDesktop.string());
    EXPECT_TRUE(clock.sleeps().empty());
}

} // namespace
} // namespace zorvast::shell
