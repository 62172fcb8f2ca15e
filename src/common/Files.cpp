#include "common/Files.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace zorvast::common {

namespace fs = std::filesystem;

std::optional<std::string> readFileBytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[1 << 16];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return std::nullopt;
    }
    return bytes;
}

bool writeFileBytes(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + ".part" + std::to_string(::getpid());
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
    ok = ::fsync(fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    std::error_code error;
    if (ok) {
        fs::rename(temporary, path, error);
        ok = !error;
    }
    if (!ok) {
        fs::remove(temporary, error);
    }
    return ok;
}

std::optional<std::uint64_t> fileSize(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        return std::nullopt;
    }
    const auto size = fs::file_size(path, error);
    if (error) {
        return std::nullopt;
    }
    return size;
}

bool fileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

bool removeFile(const std::string& path) {
    std::error_code error;
    fs::remove(path, error);
    return !error && !fileExists(path);
}

bool removeTree(const std::string& path) {
    std::error_code error;
    fs::remove_all(path, error);
    return !fileExists(path);
}

bool makeFolders(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    return fs::is_directory(path, error);
}

} // namespace zorvast::common
