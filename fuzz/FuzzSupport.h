// Shared by the fuzz targets and the seed maker: a scratch folder of the process, a hard stop
// that libFuzzer records as a crash, and the byte layout that carries package entries.
#pragma once

#include "common/Text.h"
#include "update/package/PackageSignature.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace zorvast::fuzz {

// A broken promise of the code under test: stop so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

inline void check(bool condition, const char* what) {
    if (!condition) {
        fail(what);
    }
}

// A fresh folder under $TMPDIR (else /tmp), one per process (libFuzzer's -fork and -jobs
// workers each get their own), removed when the process exits normally.
inline const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/zorvast-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            fail("cannot make the scratch folder");
        }
        return std::filesystem::path(pattern);
    }();
    static const bool cleanup = [] {
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return true;
    }();
    (void)cleanup;
    return folder;
}

// Writes a scratch file without the program's fsync: the file only has to outlive this run.
inline void writeScratchFile(const std::filesystem::path& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr, "cannot open a scratch file");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    check(std::fclose(file) == 0 && written, "cannot write a scratch file");
}

// Package entries as fuzz input: records of
//   name length (1 byte), name, content length (4 bytes, little endian), content
// until the bytes run out. A length past the end takes what is left, so every input means
// something and the fuzzer need not get lengths right to reach the signature check.
inline std::vector<update::PackageEntry> decodeEntries(std::string_view bytes) {
    std::vector<update::PackageEntry> entries;
    std::size_t at = 0;
    auto take = [&](std::size_t wanted) {
        const std::size_t n = std::min(wanted, bytes.size() - at);
        const std::string_view piece = bytes.substr(at, n);
        at += n;
        return std::string(piece);
    };
    while (at < bytes.size()) {
        update::PackageEntry entry;
        const std::size_t nameLength = static_cast<unsigned char>(bytes[at++]);
        entry.name = take(nameLength);
        std::uint32_t contentLength = 0;
        for (int i = 0; i < 4 && at < bytes.size(); ++i) {
            contentLength |= std::uint32_t{static_cast<unsigned char>(bytes[at++])} << (8 * i);
        }
        entry.content = take(contentLength);
        entries.push_back(std::move(entry));
    }
    return entries;
}

// The inverse, for the seeds; names longer than 255 bytes do not fit and are cut.
inline std::string encodeEntries(const std::vector<update::PackageEntry>& entries) {
    std::string bytes;
    for (const update::PackageEntry& entry : entries) {
        const std::size_t nameLength = std::min<std::size_t>(entry.name.size(), 255);
        bytes += static_cast<char>(nameLength);
        bytes.append(entry.name, 0, nameLength);
        const auto contentLength = static_cast<std::uint32_t>(entry.content.size());
        for (int i = 0; i < 4; ++i) {
            bytes += static_cast<char>((contentLength >> (8 * i)) & 0xFF);
        }
        bytes += entry.content;
    }
    return bytes;
}

// Every text the program hands to the window must be well-formed UTF-8.
using common::isValidUtf8;

} // namespace zorvast::fuzz
