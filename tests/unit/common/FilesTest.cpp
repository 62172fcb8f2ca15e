#include "common/Files.h"

#include "common/FolderHandle.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zorvast::common {
namespace {

namespace fs = std::filesystem;
using zorvast::testing::readAll;
using zorvast::testing::TempFolder;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
        names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// Runs `body` in a child process, so that limits and dropped privileges stay there; its
// exit code, or -1 when it did not exit.
int inChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// Root writes into any folder; without its capabilities the folder's mode counts again.
bool dropCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    return ::syscall(SYS_capset, &header, data) == 0;
}

// The step and error of a failed write, as one exit code for inChild.
int exitCodeFor(const AtomicWriteResult& result, AtomicWriteStep step, int error) {
    if (result.ok()) {
        return 10;
    }
    if (result.failedStep != step) {
        return 11;
    }
    return result.error == error ? 0 : 12;
}

TEST(Files, WriteThenReadBinaryBytes) {
    TempFolder temp;
    const std::string path = temp.file("data.bin");
    const std::string bytes("\x00\xFF\r\n\x1A\xCE\xC0", 7);
    ASSERT_TRUE(writeFileBytes(path, bytes));
    EXPECT_EQ(readFileBytes(path), bytes);
    EXPECT_EQ(fileSize(path), 7u);
    EXPECT_TRUE(fileExists(path));

    // Truncates: a shorter second write leaves nothing of the first.
    ASSERT_TRUE(writeFileBytes(path, "ab"));
    EXPECT_EQ(readAll(path), "ab");
    ASSERT_TRUE(writeFileBytes(path, ""));
    EXPECT_EQ(readFileBytes(path), std::string());
    EXPECT_EQ(fileSize(path), 0u);
}

TEST(Files, LargeContentSurvives) {
    TempFolder temp;
    std::string big;
    for (int i = 0; i < 300000; ++i) {
        big += static_cast<char>(i * 31 % 251);
    }
    ASSERT_TRUE(writeFileBytes(temp.file("big"), big));
    EXPECT_EQ(readFileBytes(temp.file("big")), big);
}

TEST(Files, MissingAndWrongKindsOfPath) {
    TempFolder temp;
    EXPECT_EQ(readFileBytes(temp.file("absent")), std::nullopt);
    EXPECT_EQ(readFileBytes(temp.path()), std::nullopt); // a folder
    EXPECT_EQ(fileSize(temp.file("absent")), std::nullopt);
    EXPECT_EQ(fileSize(temp.path()), std::nullopt);
    EXPECT_FALSE(fileExists(temp.file("absent")));
    EXPECT_FALSE(fileExists(temp.path()));
    EXPECT_TRUE(folderExists(temp.path()));
    EXPECT_FALSE(folderExists(temp.file("absent")));
    EXPECT_FALSE(writeFileBytes(temp.file("no/such/folder/file"), "x"));
    EXPECT_FALSE(writeFileBytes(temp.path(), "x"));
}

TEST(Files, AtomicWriteReplacesAndLeavesNoTemporaryFile) {
    TempFolder temp;
    const std::string path = temp.file("ready.txt");
    ASSERT_TRUE(writeFileAtomically(path, "old content that is longer"));
    EXPECT_EQ(readAll(path), "old content that is longer");
    ASSERT_TRUE(writeFileAtomically(path, "new"));
    EXPECT_EQ(readAll(path), "new");
    int count = 0;
    for (const auto& item : fs::directory_iterator(temp.path())) {
        EXPECT_EQ(item.path().filename(), "ready.txt");
        ++count;
    }
    EXPECT_EQ(count, 1);
}

TEST(Files, AtomicWriteFailureKeepsTheOldFile) {
    TempFolder temp;
    EXPECT_FALSE(writeFileAtomically(temp.file("no/such/folder/file"), "x"));
    // Renaming onto a non-empty folder fails; the folder and its content stay.
    temp.write("busy/inside.txt", "keep");
    EXPECT_FALSE(writeFileAtomically(temp.file("busy"), "x"));
    EXPECT_EQ(readAll(temp.file("busy/inside.txt")), "keep");
    int count = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator(temp.path())) {
        ++count;
    }
    EXPECT_EQ(count, 1); // no temporary file left behind
}

TEST(AtomicWrite, AMissingFolderFailsBeforeAnythingIsWritten) {
    TempFolder temp;
    const AtomicWriteResult result = writeFileAtomically(temp.file("absent/data.bin"), "x");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.failedStep, AtomicWriteStep::Create);
    EXPECT_EQ(result.error, ENOENT);
    EXPECT_TRUE(namesIn(temp.path()).empty());
}

TEST(AtomicWrite, AnUnwritableFolderKeepsTheOldFile) {
    TempFolder temp;
    const std::string path = temp.write("locked/data.bin", "old");
    fs::permissions(temp.file("locked"), static_cast<fs::perms>(0555));
    const int code = inChild([&path] {
        if (::geteuid() == 0 && !dropCapabilities()) {
            return 20;
        }
        return exitCodeFor(writeFileAtomically(path, "new"), AtomicWriteStep::Create, EACCES);
    });
    fs::permissions(temp.file("locked"), static_cast<fs::perms>(0755));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readAll(path), "old");
    EXPECT_EQ(namesIn(temp.file("locked")), std::vector<std::string>{"data.bin"});
}

TEST(AtomicWrite, AFullDiskKeepsTheOldFileAndLeavesNoTemporary) {
    TempFolder temp;
    const std::string path = temp.write("data.bin", "old");
    for (const Durability durability : {Durability::Durable, Durability::Disposable}) {
        // A file size limit fails the write with EFBIG as a full disk fails it with ENOSPC.
        const int code = inChild([&path, durability] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                return 20;
            }
            return exitCodeFor(
                writeFileAtomically(path, std::string(100000, 'n'), {.durability = durability}),
                AtomicWriteStep::Write, EFBIG);
        });
        EXPECT_EQ(code, 0);
        EXPECT_EQ(readAll(path), "old");
        EXPECT_EQ(namesIn(temp.path()), std::vector<std::string>{"data.bin"});
    }
}

TEST(AtomicWrite, FailingContentKeepsTheOldFile) {
    TempFolder temp;
    const std::string path = temp.write("data.bin", "old");
    const AtomicWriteResult result =
        writeFileAtomically(path,
                            [](int fd) {
                                errno = ENOSPC;
                                return ::write(fd, "half", 4) == 4 && false;
                            },
                            {});
    EXPECT_EQ(result.failedStep, AtomicWriteStep::Write);
    EXPECT_EQ(result.error, ENOSPC);
    EXPECT_EQ(readAll(path), "old");
    EXPECT_EQ(namesIn(temp.path()), std::vector<std::string>{"data.bin"});
}

// A working copy is filled from another file in the kernel, through the temporary's descriptor.
TEST(AtomicWrite, AWorkingCopyIsFilledThroughItsDescriptor) {
    TempFolder temp;
    std::string stored;
    for (int i = 0; i < 200000; ++i) {
        stored += static_cast<char>(i * 7 % 251);
    }
    const std::string source = temp.write("satdata.str", stored);
    const std::string copy = temp.write("satdata.tmp", "the copy of the last access");
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(in, 0);
    const AtomicWriteResult result =
        writeFileAtomically(copy,
                            [in](int out) {
                                loff_t from = 9; // past a marker, as working copies skip one
                                for (;;) {
                                    const ssize_t n =
                                        ::copy_file_range(in, &from, out, nullptr, 1 << 16, 0);
                                    if (n <= 0) {
                                        return n == 0;
                                    }
                                }
                            },
                            {.durability = Durability::Disposable});
    ::close(in);
    ASSERT_TRUE(result) << result.error;
    EXPECT_TRUE(readAll(copy) == stored.substr(9));
    EXPECT_EQ(namesIn(temp.path()), (std::vector<std::string>{"satdata.str", "satdata.tmp"}));
}

TEST(AtomicWrite, ALinkAtTheTargetIsReplacedNotWrittenThrough) {
    TempFolder temp;
    const std::string victim = temp.write("victim.txt", "the user's own file");
    fs::create_symlink(victim, temp.file("data.bin"));
    fs::create_symlink(temp.file("nowhere"), temp.file("dangling.bin"));
    ASSERT_TRUE(writeFileAtomically(temp.file("data.bin"), "new"));
    ASSERT_TRUE(writeFileAtomically(temp.file("dangling.bin"), "other"));
    EXPECT_EQ(readAll(victim), "the user's own file");
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(temp.file("data.bin"))));
    EXPECT_EQ(readAll(temp.file("data.bin")), "new");
    EXPECT_FALSE(fs::exists(temp.file("nowhere")));
    EXPECT_EQ(readAll(temp.file("dangling.bin")), "other");
    EXPECT_EQ(namesIn(temp.path()),
              (std::vector<std::string>{"dangling.bin", "data.bin", "victim.txt"}));
}

TEST(AtomicWrite, AFixedTemporaryNameReplacesWhatWasPlantedThere) {
    TempFolder temp;
    const std::string victim = temp.write("victim.txt", "secret");
    fs::create_directories(temp.file("program"));
    fs::create_symlink(victim, temp.file("program/satdata.tmp"));
    const std::optional<FolderHandle> folder = FolderHandle::open(temp.file("program"));
    ASSERT_TRUE(folder);
    const AtomicWriteResult result =
        writeFileAtomically(*folder, "satdata.sta", "package",
                            {.mode = 0644, .exactMode = true, .temporaryName = "satdata.tmp"});
    ASSERT_TRUE(result);
    EXPECT_EQ(result.temporary, "satdata.tmp");
    EXPECT_EQ(readAll(victim), "secret");
    EXPECT_EQ(readAll(temp.file("program/satdata.sta")), "package");
    EXPECT_EQ(namesIn(temp.file("program")), std::vector<std::string>{"satdata.sta"});
    // The temporary may not be the target itself, nor lie outside the folder.
    for (const char* bad : {"satdata.sta", "../satdata.tmp", ".."}) {
        EXPECT_EQ(
            writeFileAtomically(*folder, "satdata.sta", "x", {.temporaryName = bad}).failedStep,
            AtomicWriteStep::Create)
            << bad;
    }
    EXPECT_EQ(readAll(temp.file("program/satdata.sta")), "package");
}

TEST(AtomicWrite, ModesAreNarrowedByTheUmaskUnlessExact) {
    TempFolder temp;
    const mode_t previous = ::umask(027);
    const bool narrowed = writeFileAtomically(temp.file("narrowed"), "x").ok();
    const bool exact =
        writeFileAtomically(temp.file("exact"), "x",
                            {.durability = Durability::Disposable, .mode = 0604, .exactMode = true})
            .ok();
    ::umask(previous);
    ASSERT_TRUE(narrowed);
    ASSERT_TRUE(exact);
    EXPECT_EQ(modeOf(temp.file("narrowed")), 0640u);
    EXPECT_EQ(modeOf(temp.file("exact")), 0604u);
}

TEST(AtomicWrite, TheFileCanKeepAGivenDate) {
    TempFolder temp;
    const std::time_t date = 1796688000; // 2026-12-09 00:00 UTC
    ASSERT_TRUE(writeFileAtomically(temp.file("dated"), "x",
                                    {.durability = Durability::Disposable, .modified = date}));
    struct stat info {};
    ASSERT_EQ(::stat(temp.file("dated").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, date);
}

TEST(AtomicWrite, ALinkedFolderInThePathIsFollowed) {
    TempFolder temp;
    fs::create_directories(temp.file("real"));
    fs::create_directory_symlink(temp.file("real"), temp.file("linked"));
    ASSERT_TRUE(writeFileAtomically(temp.file("linked/data.bin"), "through the folder link"));
    EXPECT_EQ(readAll(temp.file("real/data.bin")), "through the folder link");
}

TEST(Files, DateTextOfAFileIsItsLocalDay) {
    TempFolder temp;
    const std::string path = temp.write("satdata.str", "x");
    std::tm day{};
    day.tm_year = 2026 - 1900;
    day.tm_mon = 11;
    day.tm_mday = 9;
    day.tm_hour = 12;
    day.tm_isdst = -1;
    const std::time_t noon = std::mktime(&day);
    const struct timespec times[2] = {{noon, 0}, {noon, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(fileDateText(path), "2026年12月9日");
    EXPECT_EQ(fileDateText(temp.file("absent")), std::nullopt);
    EXPECT_EQ(fileDateText(temp.path()), std::nullopt); // a folder
}

TEST(Files, CreateAndRemoveTrees) {
    TempFolder temp;
    const std::string root = temp.file("work");
    ASSERT_TRUE(createFolders(root + "/a/b/c"));
    EXPECT_TRUE(createFolders(root + "/a/b/c")); // already there
    temp.write("work/a/b/c/file.txt", "x");
    temp.write("work/top.txt", "y");
    fs::create_symlink(temp.file("outside.txt"), root + "/dangling");
    temp.write("outside.txt", "must survive");
    fs::create_directory_symlink(temp.path(), root + "/a/loop");

    EXPECT_TRUE(removeTree(root));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
    EXPECT_EQ(readAll(temp.file("outside.txt")), "must survive"); // links are not followed
    EXPECT_TRUE(removeTree(root));                                // nothing there: done
    EXPECT_TRUE(removeTree(temp.file("outside.txt")));            // a single file
    EXPECT_FALSE(fs::exists(temp.file("outside.txt")));
    temp.write("plain", "x");
    EXPECT_FALSE(createFolders(temp.file("plain/sub"))); // a file is in the way
}

} // namespace
} // namespace zorvast::common
