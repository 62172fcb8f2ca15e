#include "common/ZipCreation.h"

#include "common/Files.h"
#include "common/LibzipHandles.h"

#include <optional>
#include <set>

#include <zip.h>

namespace zorvast::common {
namespace {

using libzip::ArchivePtr;
using libzip::zipErrorText;

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
