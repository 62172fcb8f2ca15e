// Where a download lies and the partial file itself: the folder is opened once and every name
// is looked up in it, never followed through a link.
#pragma once

#include "common/FolderHandle.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace zorvast::update {

// The folder of a local file, opened, and the file's name in it. The resume record lies beside
// the file as "<name>.resume".
struct DownloadSpot {
    common::FolderHandle folder;
    std::string name;

    // nullopt when the name is not a plain file name or the folder cannot be opened.
    static std::optional<DownloadSpot> of(const std::filesystem::path& localFile);

    std::string recordName() const;
};

// The partial file, open for appending; closed exactly once, and a failed close counts as a
// write error.
class PartialFile {
public:
    // Creates the file or opens the one there. A link at the name is refused (O_NOFOLLOW), and
    // so is anything but a regular file with one name; a file another transfer holds (its lock)
    // is refused.
    bool open(const DownloadSpot& spot);

    std::optional<std::uint64_t> size() const;
    bool truncate();
    bool write(const char* data, std::size_t size);
    bool close();

private:
    common::UniqueFd fd_;
};

} // namespace zorvast::update
