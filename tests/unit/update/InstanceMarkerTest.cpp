#include "update/roles/InstanceMarker.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace zorvast::update {

void PrintTo(MarkerResult::Value result, std::ostream* out) {
    switch (result) {
    case MarkerResult::Ok:
        *out << "Ok";
        return;
    case MarkerResult::OtherCopyRuns:
        *out << "OtherCopyRuns";
        return;
    case MarkerResult::Error:
        *out << "Error";
        return;
    }
    *out << "?";
}
void PrintTo(MarkerResult result, std::ostream* out) {
    PrintTo(result.value(), out);
}

namespace {

namespace fs = std::filesystem;
using testing::readAll;
using testing::TempFolder;

constexpr uid_t kNobody = 65534;

mode_t modeOf(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// A second process that holds the marker until the object ends.
class HoldingProcess {
public:
    explicit HoldingProcess(const fs::path& marker) {
        int ready[2];
        int finish[2];
        if (pipe(ready) != 0 || pipe(finish) != 0) {
            return;
        }
        child_ = fork();
        if (child_ == 0) {
            InstanceMarker held;
            const char ok = held.hold(marker) ? 'y' : 'n';
            (void)!write(ready[1], &ok, 1);
            char c;
            (void)!read(finish[0], &c, 1);
            _exit(0);
        }
        close(ready[1]);
        close(finish[0]);
        char ok = 0;
        holds_ = read(ready[0], &ok, 1) == 1 && ok == 'y';
        close(ready[0]);
        finish_ = finish[1];
    }
    ~HoldingProcess() { stop(); }
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;

    bool holds() const { return holds_; }
    void stop() {
        if (finish_ >= 0) {
            (void)!write(finish_, "x", 1);
            close(finish_);
            finish_ = -1;
        }
        if (child_ > 0) {
            waitpid(child_, nullptr, 0);
            child_ = -1;
        }
    }

private:
    pid_t child_ = -1;
    int finish_ = -1;
    bool holds_ = false;
};

TEST(InstanceMarker, HeldMarkerIsNotRemoved) {
    TempFolder temp;
    const fs::path marker = temp.path() / "ready.tmp";
    InstanceMarker first;
    ASSERT_EQ(first.hold(marker), MarkerResult::Ok);
    EXPECT_EQ(readAll(marker.string()), "ready\r\n");
    EXPECT_EQ(modeOf(marker), 0600u);
    EXPECT_EQ(removeStaleMarker(marker), MarkerResult::OtherCopyRuns);
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_TRUE(markerHeld(marker));
    InstanceMarker second;
    EXPECT_EQ(second.hold(marker), MarkerResult::OtherCopyRuns);
    EXPECT_FALSE(second.held());
    EXPECT_TRUE(first.held());

    first.release();
    EXPECT_FALSE(markerHeld(marker));
    EXPECT_EQ(removeStaleMarker(marker), MarkerResult::Ok);
    EXPECT_FALSE(fs::exists(marker));
}

TEST(InstanceMarker, AMarkerLeftByADeadProcessIsStale) {
    TempFolder temp;
    const fs::path marker = temp.path() / "ready.tmp";
    const pid_t child = fork();
    if (child == 0) {
        InstanceMarker held;
        _exit(held.hold(marker) ? 0 : 1); // dies holding it, as a crash would
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(fs::exists(marker));
    EXPECT_FALSE(markerHeld(marker));
    EXPECT_EQ(removeStaleMarker(marker), MarkerResult::Ok);
    EXPECT_FALSE(fs::exists(marker));
}

TEST(InstanceMarker, AnotherProcessHoldingItCounts) {
    TempFolder temp;
    const fs::path marker = temp.path() / "ready.tmp";
    HoldingProcess other(marker);
    ASSERT_TRUE(other.holds());
    EXPECT_EQ(removeStaleMarker(marker), MarkerResult::OtherCopyRuns);
    InstanceMarker mine;
    EXPECT_EQ(mine.hold(marker), MarkerResult::OtherCopyRuns);
    EXPECT_FALSE(mine.held());
    EXPECT_TRUE(markerHeld(marker));
    EXPECT_EQ(readAll(marker.string()), "ready\r\n");

    other.stop();
    EXPECT_FALSE(markerHeld(marker));
    EXPECT_EQ(removeStaleMarker(marker), MarkerResult::Ok);
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_EQ(mine.hold(marker), MarkerResult::Ok);
}

TEST(InstanceMarker, NoMarkerAndNoFolder) {
    TempFolder temp;
    EXPECT_EQ(removeStaleMarker(temp.path() / "ready.tmp"), MarkerResult::Ok);
    EXPECT_FALSE(markerHeld(temp.path() / "ready.tmp"));
    InstanceMarker marker;
    EXPECT_EQ(marker.hold(temp.path() / "missing" / "ready.tmp"), MarkerResult::Error);
    EXPECT_FALSE(marker.held());
}

TEST(InstanceMarker, AnOldMarkerOfOursIsTakenOverAndMadePrivate) {
    TempFolder temp;
    const fs::path marker = temp.write("ready.tmp", "something longer than the line\n");
    ASSERT_EQ(::chmod(marker.c_str(), 0644), 0);
    InstanceMarker held;
    ASSERT_EQ(held.hold(marker), MarkerResult::Ok);
    EXPECT_EQ(readAll(marker.string()), "ready\r\n");
    EXPECT_EQ(modeOf(marker), 0600u);
}

// Whatever sits at the marker's name that is not our own plain file is an error, never
// another running copy, and is left exactly as it was.
TEST(InstanceMarker, AnythingButOurOwnFileIsAnError) {
    const struct {
        const char* what;
        std::function<void(const TempFolder&, const fs::path&)> plant;
    } cases[] = {
        {"a link to a file",
         [](const TempFolder& t, const fs::path& m) {
             fs::create_symlink(t.write("victim", "keep me\n"), m);
         }},
        {"a link to nothing",
         [](const TempFolder& t, const fs::path& m) {
             fs::create_symlink(t.file("victim"), m);
         }},
        {"a folder",
         [](const TempFolder&, const fs::path& m) {
             fs::create_directory(m);
         }},
        {"a FIFO",
         [](const TempFolder&, const fs::path& m) {
             ASSERT_EQ(::mkfifo(m.c_str(), 0600), 0);
         }},
        {"a second name of another file",
         [](const TempFolder& t, const fs::path& m) {
             fs::create_hard_link(t.write("victim", "keep me\n"), m);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        const fs::path marker = temp.path() / "ready.tmp";
        const fs::path victim = temp.path() / "victim";
        c.plant(temp, marker);
        const int type = static_cast<int>(fs::symlink_status(marker).type());
        const bool victimExisted = fs::exists(victim);

        InstanceMarker held;
        EXPECT_EQ(held.hold(marker), MarkerResult::Error);
        EXPECT_FALSE(held.held());
        EXPECT_EQ(removeStaleMarker(marker), MarkerResult::Error);
        EXPECT_FALSE(markerHeld(marker));

        EXPECT_EQ(static_cast<int>(fs::symlink_status(marker).type()), type)
            << "the name was changed";
        EXPECT_EQ(fs::exists(victim), victimExisted);
        if (victimExisted) {
            EXPECT_EQ(readAll(victim.string()), "keep me\n");
        }
    }
}

TEST(InstanceMarker, AMarkerOfAnotherUserIsAnError) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the marker to another user";
    }
    TempFolder temp;
    const fs::path marker = temp.write("ready.tmp", "ready\r\n");
    ASSERT_EQ(::chown(marker.c_str(), kNobody, kNobody), 0);
    InstanceMarker held;
    EXPECT_EQ(held.hold(marker), MarkerResult::Error);
    EXPECT_EQ(removeStaleMarker(marker), MarkerResult::Error);
    EXPECT_FALSE(markerHeld(marker));
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_EQ(readAll(marker.string()), "ready\r\n");
}

TEST(InstanceMarker, AFolderWeCannotWriteIsAnError) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into any folder; run as another user to check this";
    }
    TempFolder temp;
    const fs::path folder = temp.path() / "locked";
    fs::create_directory(folder);
    ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
    InstanceMarker held;
    EXPECT_EQ(held.hold(folder / "ready.tmp"), MarkerResult::Error);
    ::chmod(folder.c_str(), 0700);
}

} // namespace
} // namespace zorvast::update
