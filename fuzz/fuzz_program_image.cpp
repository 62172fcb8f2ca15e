// The launcher's check that a program file is a whole ELF executable, on hostile bytes.
#include "FuzzSupport.h"

#include "launcher/ProgramImage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace zorvast;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view image(reinterpret_cast<const char*>(data), size);
    if (launcher::programImageWhole(image)) {
        // Bytes after the end do not make a whole program less whole.
        fuzz::check(launcher::programImageWhole(std::string(image) + "tail"),
                    "a whole program is no longer whole with bytes after it");
    }
    return 0;
}
