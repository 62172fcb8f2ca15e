#include "common/Files.h"

#include "common/FolderHandle.h"

#include <cerrno>
#include <cstring>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zorvast::common {
namespace {

namespace fs = std::filesystem;

// Writes and closes `file`; true only when every byte reached the file.
bool writeAndClose(std::FILE* file, std::string_view bytes, bool flushToDisk) {
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
#if defined(__unix__) || defined(__APPLE__)
    if (ok && flushToDisk) {
        ok = ::fsync(::fileno(file)) == 0;
    }
#endif
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

// A name beside `path` that no other writer in this or another process picks at the same time.
fs::path temporarySibling(const fs::path& path) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
#if defined(__unix__) || defined(__APPLE__)
    const long long pid = ::getpid();
#else
    const long long pid = 0;
#endif
    fs::path sibling = path;
    sibling += ".tmp-" + std::to_string(pid) + "-" + std::to_string(ticks) + "-" +
               std::to_string(counter.fetch_add(1));
    return sibling;
}

} // namespace

std::optional<std::string> readFileBytes(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return std::nullopt;
    }
    // Read to the end rather than trusting the size: the file may change while we read.
    std::string content;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return std::nullopt;
    }
    return content;
}

bool writeFileBytes(const fs::path& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    return writeAndClose(file, bytes, false);
}

std::optional<std::string> writeFileOrReason(const fs::path& path, std::string_view bytes) {
    errno = 0;
    if (writeFileBytes(path, bytes)) {
        return std::nullopt;
    }
    return errno != 0 ? std::string(std::strerror(errno)) : std::string("write error");
}

bool writeFileAtomically(const fs::path& path, std::string_view bytes) {
    const fs::path temporary = temporarySibling(path);
    // "x": fail rather than reuse a file somebody else created under that name.
    std::FILE* file = std::fopen(temporary.c_str(), "wbx");
    if (!file) {
        return false;
    }
    std::error_code ec;
    if (!writeAndClose(file, bytes, true)) {
        fs::remove(temporary, ec);
        return false;
    }
    fs::rename(temporary, path, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

std::optional<std::uint64_t> fileSize(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size);
}

bool fileExists(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool folderExists(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool createFolders(const fs::path& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

bool removeTree(const fs::path& path) {
    if (!removeTreeNoFollow(path)) {
        return false;
    }
    // symlink_status: a dangling link left behind still counts as something left.
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    return !fs::exists(status);
}

std::optional<std::string> fileDateText(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::tm parts{};
    localtime_r(&info.st_mtime, &parts);
    return std::to_string(parts.tm_year + 1900) + "年" + std::to_string(parts.tm_mon + 1) + "月" +
           std::to_string(parts.tm_mday) + "日";
}

} // namespace zorvast::common
