// The record beside a partial download ("<localFile>.resume"): where the file came from and what
// the server said about it, so that a later transfer can ask for the rest only. A file without a
// record is never resumed.
//
// The record is text, one "key value" line each after a first line naming the format:
//   zorvast partial download 1
//   url <URL>            total <whole size>       bytes <size when written>
//   etag <strong tag>    last-modified <date>     ftp-time <Unix seconds>
// url and total are required, every key may come once, and nothing else may stand in it.
#pragma once

#include "update/net/PartialFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zorvast::update {

struct PartialDownload {
    std::string url;
    std::uint64_t totalBytes = 0;
    std::string etag;              // strong entity tag, quotes included; empty: none
    std::string lastModified;      // the Last-Modified text as the server sent it; empty: none
    std::int64_t ftpFileTime = -1; // the FTP file's modification time (Unix seconds); -1: none
    std::uint64_t bytesInFile = 0; // the file's size now (the record's own count is a hint)
};

// The record of `localFile` when it can be used to resume: nullopt when the file or the record is
// missing or not a regular file, the record is malformed, names no whole size or no validator
// (entity tag, date or FTP file time), or the file is larger than the whole size.
std::optional<PartialDownload> readPartialDownload(const std::filesystem::path& localFile);

// Writes the record beside `localFile`, as a transfer does once the server has answered.
bool writePartialDownload(const std::filesystem::path& localFile, const PartialDownload& record);
// Removes the file and its record.
void discardDownload(const std::filesystem::path& localFile);

// ---- for the transfer ------------------------------------------------------------------------

// Validators as a record keeps them (and a resumed request sends them back): a strong entity tag
// (quotes around the tag characters, no "W/"), and a date as Last-Modified sends it (printable
// ASCII); neither longer than 256 bytes.
bool isStrongEtag(std::string_view tag);
bool isDateText(std::string_view date);
// Whether the record names an entity tag, a date or an FTP file time.
bool hasValidator(const PartialDownload& record);

// The record read beside the spot's file as it stands (not checked against the file).
std::optional<PartialDownload> readRecordIn(const DownloadSpot& spot);
// The record with the file's real size, when it can be used to resume at all.
std::optional<PartialDownload> usableRecord(std::optional<PartialDownload> record,
                                            std::uint64_t fileSize);
bool writeRecordIn(const DownloadSpot& spot, const PartialDownload& record);
void removeRecordIn(const DownloadSpot& spot);

} // namespace zorvast::update
