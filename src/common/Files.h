// Small file helpers. None of them throws; failures come back as false or an empty optional.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zorvast::common {

// The whole content of a regular file.
std::optional<std::string> readFileBytes(const std::filesystem::path& path);

// Creates or truncates `path` and writes all of `bytes`; false on any write or close error.
bool writeFileBytes(const std::filesystem::path& path, std::string_view bytes);

// writeFileBytes, telling the user why it failed: nothing on success, else the system's reason.
std::optional<std::string> writeFileOrReason(const std::filesystem::path& path,
                                             std::string_view bytes);

// Writes a temporary file beside `path` and renames it over `path`, so readers see either
// the old content or the new, never a part. The temporary file is removed on failure.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Size of a regular file.
std::optional<std::uint64_t> fileSize(const std::filesystem::path& path);

// True when `path` names an existing regular file (symbolic links followed).
bool fileExists(const std::filesystem::path& path);

// "%d年%d月%d日" of a regular file's modification date (local time); nothing when it is missing.
std::optional<std::string> fileDateText(const std::filesystem::path& file);

// True when `path` names an existing folder.
bool folderExists(const std::filesystem::path& path);

// Creates the folder and its missing parents; true when the folder exists afterwards.
bool createFolders(const std::filesystem::path& path);

// Removes a file or a folder with everything in it, never following a link (a link is removed
// itself); true when nothing is left at `path` (a path that did not exist counts as removed).
bool removeTree(const std::filesystem::path& path);

} // namespace zorvast::common
