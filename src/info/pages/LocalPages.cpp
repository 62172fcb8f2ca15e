#include "info/pages/LocalPages.h"

#include "common/Files.h"
#include "common/FolderHandle.h"
#include "common/Text.h"

namespace zorvast::info {

std::filesystem::path pageToShow(const std::filesystem::path& workFolder, const LocalPage& page) {
    const std::filesystem::path file = workFolder / page.fileName;
    if (!common::folderExists(workFolder)) {
        common::createFolders(workFolder);
    }
    const std::optional<common::FolderHandle> folder = common::FolderHandle::open(workFolder);
    if (!folder) {
        return file;
    }
    // Only a real file of the package counts; anything else at the name is replaced, never
    // followed, so the view never shows what a planted link points at.
    const std::optional<struct stat> status = folder->entryStatus(page.fileName);
    if (status && S_ISREG(status->st_mode) && status->st_size > 0) {
        return file;
    }
    // A write failure leaves the view on a missing file, which shows as an empty page: there
    // is nothing better to show then.
    folder->replaceFile(page.fileName, common::toGbk(page.fallback).bytes, 0644);
    return file;
}

} // namespace zorvast::info
