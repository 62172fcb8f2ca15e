// File helpers that report failure instead of throwing: every caller has its own message
// for a file that cannot be read or written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorvast::common {

std::optional<std::string> readFileBytes(const std::string& path);
// Creates or truncates the file and writes all bytes; false on any failure.
bool writeFileBytes(const std::string& path, std::string_view bytes);
// Writes beside the target and renames over it, so readers never see half a file.
bool writeFileAtomically(const std::string& path, std::string_view bytes);
std::optional<std::uint64_t> fileSize(const std::string& path);
bool fileExists(const std::string& path);
bool removeFile(const std::string& path);
// Removes a file or a folder with everything in it; true when nothing is left.
bool removeTree(const std::string& path);
bool makeFolders(const std::string& path);

} // namespace zorvast::common
