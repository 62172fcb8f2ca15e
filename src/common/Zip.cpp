#include "common/Zip.h"

#include "common/Files.h"
#include "common/Text.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>

#include <zip.h>

#include <ctime>
#include <utime.h>

namespace zorvast::common {
namespace {

namespace fs = std::filesystem;

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchivePtr = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using EntryPtr = std::unique_ptr<zip_file_t, EntryCloser>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

ExtractResult failure(std::string error) {
    ExtractResult result;
    result.error = std::move(error);
    return result;
}

// libzip gives no access to the general-purpose flags, but its strict name mode returns the
// stored bytes only for names it knows to be UTF-8 (flag bit 11 set, or an Info-ZIP Unicode
// Path field that it has already substituted) or plain ASCII, and a CP437 reading otherwise.
// So raw != strict means: flag clear and non-ASCII bytes, which this program's archives hold
// as GBK.
std::optional<std::string> decodedEntryName(zip_t* archive, zip_uint64_t index) {
    const char* raw = zip_get_name(archive, index, ZIP_FL_ENC_RAW);
    if (!raw) {
        return std::nullopt;
    }
    const std::string rawName = raw; // the next call may reuse libzip's buffer
    const char* strict = zip_get_name(archive, index, ZIP_FL_ENC_STRICT);
    if (!strict) {
        return std::nullopt;
    }
    if (rawName == strict) {
        return rawName;
    }
    return fromGbk(Gbk{rawName});
}

struct PlannedEntry {
    zip_uint64_t index = 0;
    std::string relative; // from entryTargetPath
    bool folder = false;
    std::uint64_t declaredSize = 0;
    std::optional<std::time_t> modified;
};

// True when no existing component between `base` and `base / relative` is a symbolic link,
// so writing there cannot land outside `base`. (Extraction itself never creates links.)
bool staysInside(const fs::path& base, const std::string& relative) {
    fs::path current = base;
    for (const auto& part : fs::path(relative)) {
        if (part.empty()) {
            continue;
        }
        current /= part;
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(current, ec);
        if (fs::is_symlink(status)) {
            return false;
        }
        if (!fs::exists(status)) {
            return true;
        }
    }
    return true;
}

// Inflates one entry into `target`, counting the bytes that actually come out.
std::string writeEntry(zip_t* archive, const PlannedEntry& entry, const fs::path& target,
                       const ExtractLimits& limits, std::uint64_t& totalWritten) {
    EntryPtr in(zip_fopen_index(archive, entry.index, 0));
    if (!in) {
        return "cannot open entry " + entry.relative + ": " + zip_strerror(archive);
    }
    std::unique_ptr<std::FILE, FileCloser> out(std::fopen(target.c_str(), "wb"));
    if (!out) {
        return "cannot create " + target.string();
    }
    std::uint64_t written = 0;
    char buffer[65536];
    for (;;) {
        const zip_int64_t got = zip_fread(in.get(), buffer, sizeof buffer);
        if (got < 0) {
            return "cannot read entry " + entry.relative + ": " + zip_file_strerror(in.get());
        }
        if (got == 0) {
            break;
        }
        const auto count = static_cast<std::uint64_t>(got);
        written += count;
        totalWritten += count;
        if (written > limits.maxEntryBytes || totalWritten > limits.maxTotalBytes) {
            return "entry " + entry.relative + " exceeds the size limit";
        }
        if (written > entry.declaredSize) {
            return "entry " + entry.relative + " inflates beyond its recorded size";
        }
        if (std::fwrite(buffer, 1, count, out.get()) != count) {
            return "cannot write " + target.string();
        }
    }
    if (written != entry.declaredSize) {
        return "entry " + entry.relative + " is shorter than its recorded size";
    }
    const int closeError = zip_fclose(in.release());
    if (closeError != 0) {
        return "cannot read entry " + entry.relative + ": " + zipErrorText(closeError);
    }
    if (std::fclose(out.release()) != 0) {
        return "cannot write " + target.string();
    }
    // Keep the entry's date: the program shows the data date from the unpacked file.
    if (entry.modified) {
        const struct utimbuf times { *entry.modified, *entry.modified };
        ::utime(target.c_str(), &times);
    }
    return {};
}

ExtractResult extractOpened(zip_t* archive, const std::string& targetFolder,
                            const ExtractLimits& limits) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0) {
        return failure("cannot read the archive directory");
    }
    if (static_cast<std::uint64_t>(count) > limits.maxEntries) {
        return failure("archive has too many entries");
    }

    // Check every name and declared size before writing a single byte.
    std::vector<PlannedEntry> plan;
    std::uint64_t declaredTotal = 0;
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        const std::optional<std::string> name = decodedEntryName(archive, i);
        if (!name) {
            return failure("entry " + std::to_string(i) + " has no readable name");
        }
        const std::optional<std::string> relative = entryTargetPath(*name);
        if (!relative) {
            return failure("entry name escapes the target folder: " + *name);
        }
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive, i, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
            return failure("cannot read entry " + *name + ": " + zip_strerror(archive));
        }
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
            return failure("entry " + *name + " is encrypted");
        }
        const bool folder = relative->back() == '/';
        if (folder && stat.size != 0) {
            return failure("folder entry " + *name + " has data");
        }
        declaredTotal += stat.size;
        if (stat.size > limits.maxEntryBytes || declaredTotal > limits.maxTotalBytes) {
            return failure("entry " + *name + " exceeds the size limit");
        }
        std::optional<std::time_t> modified;
        if (stat.valid & ZIP_STAT_MTIME) {
            modified = stat.mtime;
        }
        plan.push_back({i, *relative, folder, stat.size, modified});
    }

    const fs::path base(targetFolder);
    std::error_code ec;
    fs::create_directories(base, ec);
    if (!fs::is_directory(base, ec)) {
        return failure("cannot create folder " + targetFolder);
    }

    ExtractResult result;
    std::uint64_t totalWritten = 0;
    for (const PlannedEntry& entry : plan) {
        if (!staysInside(base, entry.relative)) {
            result.error = "a symbolic link in the target folder redirects " + entry.relative;
            return result;
        }
        const fs::path target = base / fs::path(entry.relative);
        const fs::path folder = entry.folder ? target : target.parent_path();
        fs::create_directories(folder, ec);
        if (!fs::is_directory(folder, ec)) {
            result.error = "cannot create folder " + folder.string();
            return result;
        }
        if (!entry.folder) {
            const std::string error = writeEntry(archive, entry, target, limits, totalWritten);
            if (!error.empty()) {
                fs::remove(target, ec); // never leave a partial or oversized file behind
                result.error = error;
                return result;
            }
        }
        result.entries.push_back(entry.relative);
    }
    result.ok = true;
    return result;
}

std::uint32_t readLittleEndian(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// libzip flags every valid non-ASCII UTF-8 name as UTF-8. Tools and tests must also be able to
// write such bytes unflagged (as old packers did), so clear bit 11 of those entries afterwards,
// in the central directory and in each local header.
bool clearUtf8Flags(const std::string& path, const std::set<std::string>& names,
                    std::string& error) {
    std::optional<std::string> read = readFileBytes(path);
    if (!read) {
        error = "cannot reread archive " + path;
        return false;
    }
    std::string& bytes = *read;
    const std::size_t eocd = bytes.rfind(std::string("PK\x05\x06", 4));
    if (eocd == std::string::npos || eocd + 22 > bytes.size()) {
        error = "archive " + path + " has no end record";
        return false;
    }
    const std::size_t count = readLittleEndian(bytes, eocd + 10, 2);
    std::size_t p = readLittleEndian(bytes, eocd + 16, 4);
    bool changed = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (p + 46 > bytes.size() || readLittleEndian(bytes, p, 4) != 0x02014b50u) {
            error = "archive " + path + " has an unexpected directory";
            return false;
        }
        const std::size_t nameLength = readLittleEndian(bytes, p + 28, 2);
        const std::size_t recordLength = 46 + nameLength + readLittleEndian(bytes, p + 30, 2) +
                                         readLittleEndian(bytes, p + 32, 2);
        const std::size_t local = readLittleEndian(bytes, p + 42, 4);
        if (p + recordLength > bytes.size() || local + 30 > bytes.size()) {
            error = "archive " + path + " has an unexpected directory";
            return false;
        }
        if (names.count(bytes.substr(p + 46, nameLength)) != 0 && (bytes[p + 9] & 0x08) != 0) {
            bytes[p + 9] = static_cast<char>(bytes[p + 9] & ~0x08);
            bytes[local + 7] = static_cast<char>(bytes[local + 7] & ~0x08);
            changed = true;
        }
        p += recordLength;
    }
    if (changed && !writeFileBytes(path, bytes)) {
        error = "cannot rewrite archive " + path;
        return false;
    }
    return true;
}

} // namespace

std::optional<std::string> entryTargetPath(std::string_view utf8Name) {
    std::string name(utf8Name);
    for (char& c : name) {
        if (c == '\\') {
            c = '/'; // Windows packers; GBK trail bytes 0x5C are gone after decoding
        }
    }
    const bool absolute = !name.empty() && name.front() == '/';
    const bool drive = name.size() >= 2 && name[1] == ':';
    if (name.empty() || absolute || drive) {
        return std::nullopt;
    }
    const bool folder = name.back() == '/';
    std::vector<std::string_view> parts;
    std::string_view rest = name;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (parts.empty()) {
                return std::nullopt;
            }
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty()) {
        return std::nullopt;
    }
    std::string path;
    for (const std::string_view part : parts) {
        if (!path.empty()) {
            path += '/';
        }
        path.append(part);
    }
    if (folder) {
        path += '/';
    }
    return path;
}

ExtractResult extractArchive(const std::string& archivePath, const std::string& targetFolder,
                             const ExtractLimits& limits) {
    int code = 0;
    ArchivePtr archive(zip_open(archivePath.c_str(), ZIP_RDONLY, &code));
    if (!archive) {
        return failure("cannot open archive " + archivePath + ": " + zipErrorText(code));
    }
    return extractOpened(archive.get(), targetFolder, limits);
}

ExtractResult extractArchive(std::span<const unsigned char> archiveBytes,
                             const std::string& targetFolder, const ExtractLimits& limits) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(archiveBytes.data(), archiveBytes.size(), 0, &error);
    if (!source) {
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        return failure("cannot read archive in memory: " + text);
    }
    ArchivePtr archive(zip_open_from_source(source, ZIP_RDONLY, &error));
    if (!archive) {
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        zip_source_free(source);
        return failure("cannot open archive in memory: " + text);
    }
    zip_error_fini(&error);
    return extractOpened(archive.get(), targetFolder, limits);
}

bool createArchive(const std::string& path, const std::vector<ArchiveEntry>& entries,
                   std::string* error) {
    const auto fail = [&](const std::string& text) {
        if (error) {
            *error = text;
        }
        return false;
    };
    int code = 0;
    ArchivePtr archive(zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!archive) {
        return fail("cannot create archive " + path + ": " + zipErrorText(code));
    }
    std::set<std::string> unflagged;
    for (const ArchiveEntry& entry : entries) {
        // GUESS keeps the bytes exactly as given; UTF_8 also checks that they are UTF-8.
        const zip_flags_t nameFlags = entry.utf8Name ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_GUESS;
        if (!entry.utf8Name) {
            unflagged.insert(entry.name);
        }
        if (!entry.name.empty() && entry.name.back() == '/' && entry.data.empty()) {
            if (zip_dir_add(archive.get(), entry.name.c_str(), nameFlags) < 0) {
                return fail("cannot add " + entry.name + ": " + zip_strerror(archive.get()));
            }
            continue;
        }
        // The data stays alive in `entries` until zip_close below has written it.
        zip_source_t* source =
            zip_source_buffer(archive.get(), entry.data.data(), entry.data.size(), 0);
        if (!source) {
            return fail("cannot add " + entry.name + ": " + zip_strerror(archive.get()));
        }
        const zip_int64_t index =
            zip_file_add(archive.get(), entry.name.c_str(), source, nameFlags);
        if (index < 0) {
            zip_source_free(source);
            return fail("cannot add " + entry.name + ": " + zip_strerror(archive.get()));
        }
        if (zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index),
                                     ZIP_CM_DEFLATE, 0) != 0) {
            return fail("cannot deflate " + entry.name + ": " + zip_strerror(archive.get()));
        }
        // A date rather than the clock keeps generated packages byte for byte the same.
        const auto dosDate = static_cast<zip_uint16_t>(((entry.date.year - 1980) << 9) |
                                                       (entry.date.month << 5) | entry.date.day);
        if (zip_file_set_dostime(archive.get(), static_cast<zip_uint64_t>(index), 0, dosDate, 0) !=
            0) {
            return fail("cannot date " + entry.name + ": " + zip_strerror(archive.get()));
        }
    }
    if (zip_close(archive.get()) != 0) {
        const std::string text = zip_strerror(archive.get());
        return fail("cannot write archive " + path + ": " + text);
    }
    archive.release(); // zip_close freed it
    std::string fixError;
    if (!unflagged.empty() && !clearUtf8Flags(path, unflagged, fixError)) {
        return fail(fixError);
    }
    return true;
}

} // namespace zorvast::common
