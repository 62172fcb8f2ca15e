#include "info/pages/LocalPages.h"

#include "common/Files.h"
#include "common/Text.h"

namespace zorvast::info {

std::filesystem::path pageToShow(const std::filesystem::path& workFolder, const LocalPage& page) {
    const std::filesystem::path file = workFolder / page.fileName;
    const auto size = common::fileSize(file);
    if (size && *size > 0) {
        return file;
    }
    if (!common::folderExists(workFolder)) {
        common::createFolders(workFolder);
    }
    // A write failure leaves the view on a missing file, which shows as an empty page: there
    // is nothing better to show then.
    common::writeFileBytes(file, common::toGbk(page.fallback).bytes);
    return file;
}

} // namespace zorvast::info
