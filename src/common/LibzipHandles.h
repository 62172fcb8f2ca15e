// The libzip handles the ZIP code shares: an archive closed without writing, and error texts.
#pragma once

#include <memory>
#include <string>

#include <zip.h>

namespace zorvast::common::libzip {

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchivePtr = std::unique_ptr<zip_t, ArchiveCloser>;

inline std::string zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

} // namespace zorvast::common::libzip
