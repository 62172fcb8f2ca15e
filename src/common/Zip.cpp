#include "common/Zip.h"

#include "common/Files.h"
#include "common/FolderHandle.h"
#include "common/LibzipHandles.h"
#include "common/Text.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include <zip.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace zorvast::common {
namespace {

namespace fs = std::filesystem;
using libzip::ArchivePtr;
using libzip::zipErrorText;

constexpr std::size_t kEndRecordBytes = 22;

struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using EntryPtr = std::unique_ptr<zip_file_t, EntryCloser>;

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

// Unix packers keep the file mode in the upper half of the external attributes.
bool isLinkEntry(zip_t* archive, zip_uint64_t index) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0) {
        return true; // unreadable: treat as the worst case
    }
    return system == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

// Inflates one entry into memory, counting the bytes that actually come out rather than
// trusting the sizes the archive declares.
std::string inflateEntry(zip_t* archive, zip_uint64_t index, const std::string& relative,
                         std::uint64_t declaredSize, const ExtractLimits& limits,
                         std::uint64_t& totalInflated, std::string& data) {
    EntryPtr in(zip_fopen_index(archive, index, 0));
    if (!in) {
        return "cannot open entry " + relative + ": " + zip_strerror(archive);
    }
    // Declared sizes are bounded by the limits already; still grow only as data arrives.
    data.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(declaredSize, 1u << 20)));
    char buffer[65536];
    for (;;) {
        const zip_int64_t got = zip_fread(in.get(), buffer, sizeof buffer);
        if (got < 0) {
            return "cannot read entry " + relative + ": " + zip_file_strerror(in.get());
        }
        if (got == 0) {
            break;
        }
        const auto count = static_cast<std::uint64_t>(got);
        totalInflated += count;
        if (data.size() + count > limits.maxEntryBytes || totalInflated > limits.maxTotalBytes) {
            return "entry " + relative + " exceeds the size limit";
        }
        if (data.size() + count > declaredSize) {
            return "entry " + relative + " inflates beyond its recorded size";
        }
        data.append(buffer, static_cast<std::size_t>(count));
    }
    if (data.size() != declaredSize) {
        return "entry " + relative + " is shorter than its recorded size";
    }
    const int closeError = zip_fclose(in.release());
    if (closeError != 0) {
        return "cannot read entry " + relative + ": " + zipErrorText(closeError);
    }
    return {};
}

UnpackResult unpackFailure(std::string error) {
    UnpackResult result;
    result.error = std::move(error);
    return result;
}

// Everything is read, checked and inflated before a single byte is written: a bad name, a
// repeated name, a link, an encrypted entry, a size beyond the limits or a damaged entry
// anywhere in the archive fails it as a whole.
UnpackResult unpackOpened(zip_t* archive, const ExtractLimits& limits) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0) {
        return unpackFailure("cannot read the archive directory");
    }
    if (static_cast<std::uint64_t>(count) > limits.maxEntries) {
        return unpackFailure("archive has too many entries");
    }
    UnpackResult result;
    std::vector<std::uint64_t> declaredSizes;
    EntryNameClaims claims;
    std::uint64_t declaredTotal = 0;
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        const std::optional<std::string> name = decodedEntryName(archive, i);
        if (!name) {
            return unpackFailure("entry " + std::to_string(i) + " has no readable name");
        }
        const std::optional<std::string> relative = entryTargetPath(*name);
        if (!relative) {
            return unpackFailure("entry name escapes the target folder: " + *name);
        }
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive, i, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
            return unpackFailure("cannot read entry " + *name + ": " + zip_strerror(archive));
        }
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
            return unpackFailure("entry " + *name + " is encrypted");
        }
        if (isLinkEntry(archive, i)) {
            return unpackFailure("entry " + *name + " is a link");
        }
        UnpackedEntry entry;
        entry.folder = relative->back() == '/';
        entry.relative = entry.folder ? relative->substr(0, relative->size() - 1) : *relative;
        if (entry.folder && stat.size != 0) {
            return unpackFailure("folder entry " + *name + " has data");
        }
        if (!claims.claim(entry.relative, entry.folder)) {
            return unpackFailure("entry name occurs twice: " + *name);
        }
        declaredTotal += stat.size;
        if (stat.size > limits.maxEntryBytes || declaredTotal > limits.maxTotalBytes) {
            return unpackFailure("entry " + *name + " exceeds the size limit");
        }
        if (stat.valid & ZIP_STAT_MTIME) {
            entry.modified = stat.mtime;
        }
        declaredSizes.push_back(stat.size);
        result.entries.push_back(std::move(entry));
    }
    std::uint64_t totalInflated = 0;
    for (zip_uint64_t i = 0; i < result.entries.size(); ++i) {
        UnpackedEntry& entry = result.entries[i];
        if (entry.folder) {
            continue;
        }
        const std::string error = inflateEntry(archive, i, entry.relative, declaredSizes[i], limits,
                                               totalInflated, entry.data);
        if (!error.empty()) {
            return unpackFailure(error);
        }
    }
    result.ok = true;
    return result;
}

// What held the name before (a file, a link) is replaced, never written through, and a failure
// leaves only what was there. Unpacked files are working copies, made again from the package.
std::string writeEntryFile(const FolderHandle& folder, const std::string& name,
                           const UnpackedEntry& entry) {
    // Keep the entry's date: the program shows the data date from the unpacked file.
    const AtomicWriteResult written = writeFileAtomically(
        folder, name, entry.data,
        {.durability = Durability::Disposable, .mode = 0644, .modified = entry.modified});
    if (written.failedStep == AtomicWriteStep::Create) {
        return "cannot create " + entry.relative;
    }
    if (!written) {
        return "cannot write " + entry.relative;
    }
    return {};
}

} // namespace

UnpackResult unpackArchive(std::span<const unsigned char> archiveBytes,
                           const ExtractLimits& limits) {
    // libzip takes empty input for an empty archive; nothing real is shorter than an end record.
    if (archiveBytes.size() < kEndRecordBytes) {
        return unpackFailure("not a ZIP archive");
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(archiveBytes.data(), archiveBytes.size(), 0, &error);
    if (!source) {
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        return unpackFailure("cannot read archive in memory: " + text);
    }
    ArchivePtr archive(zip_open_from_source(source, ZIP_RDONLY, &error));
    if (!archive) {
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        zip_source_free(source);
        return unpackFailure("cannot open archive: " + text);
    }
    zip_error_fini(&error);
    return unpackOpened(archive.get(), limits);
}

ExtractResult writeUnpacked(const std::vector<UnpackedEntry>& entries,
                            const std::string& targetFolder) {
    std::error_code ec;
    fs::create_directories(targetFolder, ec);
    const std::optional<FolderHandle> root = FolderHandle::open(targetFolder);
    if (!root) {
        return failure("cannot open folder " + targetFolder);
    }
    ExtractResult result;
    for (const UnpackedEntry& entry : entries) {
        const std::size_t slash = entry.relative.rfind('/');
        const std::string parentPath =
            entry.folder
                ? entry.relative
                : (slash == std::string::npos ? std::string() : entry.relative.substr(0, slash));
        // A link or file planted where a folder is needed stops the extraction here.
        const std::optional<FolderHandle> parent = root->makeFolders(parentPath, 0755);
        if (!parent) {
            result.error = "cannot create the folder of " + entry.relative;
            return result;
        }
        if (entry.folder) {
            result.entries.push_back(entry.relative + "/");
            continue;
        }
        const std::string name =
            slash == std::string::npos ? entry.relative : entry.relative.substr(slash + 1);
        const std::string error = writeEntryFile(*parent, name, entry);
        if (!error.empty()) {
            result.error = error;
            return result;
        }
        result.entries.push_back(entry.relative);
    }
    result.ok = true;
    return result;
}

std::optional<std::string> readArchiveFile(const std::string& archivePath,
                                           std::uint64_t sizeLimit) {
    // No link, no device, no FIFO: a regular file, read through the one handle we checked.
    const UniqueFd fd(::open(archivePath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > sizeLimit) {
        return std::nullopt;
    }
    return readAllFrom(fd.get());
}

ExtractResult extractArchive(const std::string& archivePath, const std::string& targetFolder,
                             const ExtractLimits& limits) {
    // An archive is never much larger than what it holds; the bound keeps a huge file out of
    // memory.
    const std::uint64_t readLimit = limits.maxTotalBytes + 64ull * 1024 * 1024;
    const std::optional<std::string> bytes = readArchiveFile(archivePath, readLimit);
    if (!bytes) {
        return failure("cannot open archive " + archivePath);
    }
    return extractArchive(asBytes(*bytes), targetFolder, limits);
}

ExtractResult extractArchive(std::span<const unsigned char> archiveBytes,
                             const std::string& targetFolder, const ExtractLimits& limits) {
    const UnpackResult unpacked = unpackArchive(archiveBytes, limits);
    if (!unpacked.ok) {
        return failure(unpacked.error);
    }
    return writeUnpacked(unpacked.entries, targetFolder);
}

} // namespace zorvast::common
