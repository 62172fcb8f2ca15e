#include "update/roles/InstanceMarker.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using testing::readAll;
using testing::TempFolder;

TEST(InstanceMarker, HeldMarkerIsNotRemoved) {
    TempFolder temp;
    const fs::path marker = temp.path() / "ready.tmp";
    InstanceMarker first;
    ASSERT_TRUE(first.hold(marker));
    EXPECT_EQ(readAll(marker.string()), "ready\r\n");
    EXPECT_FALSE(removeStaleMarker(marker));
    EXPECT_TRUE(fs::exists(marker));
    InstanceMarker second;
    EXPECT_FALSE(second.hold(marker));
    EXPECT_TRUE(first.held());

    first.release();
    EXPECT_TRUE(removeStaleMarker(marker));
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
    EXPECT_TRUE(removeStaleMarker(marker));
    EXPECT_FALSE(fs::exists(marker));
}

TEST(InstanceMarker, AnotherProcessHoldingItCounts) {
    TempFolder temp;
    const fs::path marker = temp.path() / "ready.tmp";
    int ready[2];
    int finish[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(finish), 0);
    const pid_t child = fork();
    if (child == 0) {
        InstanceMarker held;
        const char ok = held.hold(marker) ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        char c;
        (void)!read(finish[0], &c, 1);
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    EXPECT_FALSE(removeStaleMarker(marker));
    (void)!write(finish[1], "x", 1);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(removeStaleMarker(marker));
}

TEST(InstanceMarker, NoMarkerAndNoFolder) {
    TempFolder temp;
    EXPECT_TRUE(removeStaleMarker(temp.path() / "ready.tmp"));
    InstanceMarker marker;
    EXPECT_FALSE(marker.hold(temp.path() / "missing" / "ready.tmp"));
    EXPECT_FALSE(marker.held());
}

} // namespace
} // namespace zorvast::update
