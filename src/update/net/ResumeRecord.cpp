#include "update/net/ResumeRecord.h"

#include "update/net/ServerText.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <limits>

namespace zorvast::update {

namespace {

constexpr std::string_view kRecordFirstLine = "zorvast partial download 1";
// A record is a few hundred bytes; anything much larger was not written by us.
constexpr std::size_t kMaxRecordBytes = 16u * 1024u;
constexpr std::size_t kMaxUrlBytes = 8u * 1024u;
// Entity tags and dates are short; a longer one is not kept (and so not sent back).
constexpr std::size_t kMaxValidatorBytes = 256;

// Printable ASCII and bytes above it; no control characters, so never a line break.
bool isCleanText(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

std::optional<std::int64_t> parseFileTime(std::string_view text) {
    if (text == "-1") {
        return -1;
    }
    const std::optional<std::uint64_t> value = parseCount(text);
    if (!value || *value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(*value);
}

template <typename T> bool store(T& field, const std::optional<T>& value) {
    if (value) {
        field = *value;
    }
    return value.has_value();
}

bool storeText(std::string& field, std::string_view value, bool valid) {
    if (valid) {
        field = value;
    }
    return valid;
}

// One key of the record and how its value is read into it; false for a value that is not valid.
struct RecordField {
    std::string_view key;
    bool (*read)(PartialDownload& record, std::string_view value);
};

constexpr std::array<RecordField, 6> kRecordFields = {{
    {"url",
     [](PartialDownload& r, std::string_view v) {
         return storeText(r.url, v, v.size() <= kMaxUrlBytes);
     }},
    {"total",
     [](PartialDownload& r, std::string_view v) {
         return store(r.totalBytes, parseCount(v));
     }},
    {"etag",
     [](PartialDownload& r, std::string_view v) {
         return storeText(r.etag, v, isStrongEtag(v));
     }},
    {"last-modified",
     [](PartialDownload& r, std::string_view v) {
         return storeText(r.lastModified, v, isDateText(v));
     }},
    {"ftp-time",
     [](PartialDownload& r, std::string_view v) {
         return store(r.ftpFileTime, parseFileTime(v));
     }},
    {"bytes",
     [](PartialDownload& r, std::string_view v) {
         return store(r.bytesInFile, parseCount(v));
     }},
}};

std::string recordText(const PartialDownload& record) {
    std::string text(kRecordFirstLine);
    text += "\nurl " + record.url;
    text += "\ntotal " + std::to_string(record.totalBytes);
    if (!record.etag.empty()) {
        text += "\netag " + record.etag;
    }
    if (!record.lastModified.empty()) {
        text += "\nlast-modified " + record.lastModified;
    }
    if (record.ftpFileTime >= 0) {
        text += "\nftp-time " + std::to_string(record.ftpFileTime);
    }
    text += "\nbytes " + std::to_string(record.bytesInFile);
    text += '\n';
    return text;
}

std::optional<PartialDownload> parseRecord(std::string_view text) {
    if (text.size() > kMaxRecordBytes || text.empty() || text.back() != '\n') {
        return std::nullopt;
    }
    const auto& fields = kRecordFields;
    PartialDownload record;
    std::array<bool, 6> seen{};
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (first) {
            if (line != kRecordFirstLine) {
                return std::nullopt;
            }
            first = false;
            continue;
        }
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view key = line.substr(0, space);
        const std::string_view value = line.substr(space + 1);
        if (value.empty() || !isCleanText(value)) {
            return std::nullopt;
        }
        const auto field = std::find_if(fields.begin(), fields.end(),
                                        [key](const RecordField& f) { return f.key == key; });
        if (field == fields.end() || !field->read(record, value)) {
            return std::nullopt;
        }
        bool& once = seen[static_cast<std::size_t>(field - fields.begin())];
        if (once) {
            return std::nullopt;
        }
        once = true;
    }
    // The URL and the whole size are the first two keys.
    if (first || !seen[0] || !seen[1]) {
        return std::nullopt;
    }
    return record;
}

} // namespace

bool isStrongEtag(std::string_view tag) {
    if (tag.size() < 2 || tag.size() > kMaxValidatorBytes || tag.front() != '"' ||
        tag.back() != '"') {
        return false;
    }
    const std::string_view inner = tag.substr(1, tag.size() - 2);
    return std::all_of(inner.begin(), inner.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte == 0x21 || (byte >= 0x23 && byte <= 0x7E) || byte >= 0x80;
    });
}

bool isDateText(std::string_view date) {
    return !date.empty() && date.size() <= kMaxValidatorBytes &&
           std::all_of(date.begin(), date.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

bool hasValidator(const PartialDownload& record) {
    return !record.etag.empty() || !record.lastModified.empty() || record.ftpFileTime >= 0;
}

std::optional<PartialDownload> readRecordIn(const DownloadSpot& spot) {
    const std::optional<struct stat> status = spot.folder.entryStatus(spot.recordName());
    if (!status || !S_ISREG(status->st_mode) ||
        static_cast<std::uint64_t>(status->st_size) > kMaxRecordBytes) {
        return std::nullopt;
    }
    const std::optional<std::string> text = spot.folder.readFile(spot.recordName());
    if (!text) {
        return std::nullopt;
    }
    return parseRecord(*text);
}

std::optional<PartialDownload> usableRecord(std::optional<PartialDownload> record,
                                            std::uint64_t fileSize) {
    if (!record || record->totalBytes == 0 || !hasValidator(*record) ||
        fileSize > record->totalBytes) {
        return std::nullopt;
    }
    record->bytesInFile = fileSize;
    return record;
}

bool writeRecordIn(const DownloadSpot& spot, const PartialDownload& record) {
    return spot.folder.replaceFile(spot.recordName(), recordText(record));
}

void removeRecordIn(const DownloadSpot& spot) {
    spot.folder.removeFile(spot.recordName());
}

std::optional<PartialDownload> readPartialDownload(const std::filesystem::path& localFile) {
    const std::optional<DownloadSpot> spot = DownloadSpot::of(localFile);
    if (!spot) {
        return std::nullopt;
    }
    const std::optional<struct stat> status = spot->folder.entryStatus(spot->name);
    if (!status || !S_ISREG(status->st_mode)) {
        return std::nullopt;
    }
    return usableRecord(readRecordIn(*spot), static_cast<std::uint64_t>(status->st_size));
}

bool writePartialDownload(const std::filesystem::path& localFile, const PartialDownload& record) {
    const std::optional<DownloadSpot> spot = DownloadSpot::of(localFile);
    return spot && writeRecordIn(*spot, record);
}

void discardDownload(const std::filesystem::path& localFile) {
    const std::optional<DownloadSpot> spot = DownloadSpot::of(localFile);
    if (!spot) {
        return;
    }
    removeRecordIn(*spot);
    spot->folder.removeFile(spot->name);
}

} // namespace zorvast::update
