#include "launcher/ProgramImage.h"

#include <cstdint>
#include <cstring>
#include <elf.h>
#include <link.h>

namespace zorvast::launcher {

namespace {

// ElfW picks the header types of the word size this launcher was built for.
using Header = ElfW(Ehdr);
using ProgramHeader = ElfW(Phdr);
using SectionHeader = ElfW(Shdr);

constexpr unsigned char kOwnClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
constexpr unsigned char kOwnData =
    __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;

// [offset, offset + length) lies inside a file of `size` bytes, without overflowing.
bool inside(std::uint64_t size, std::uint64_t offset, std::uint64_t length) {
    return offset <= size && length <= size - offset;
}

template <typename T> T readAt(std::string_view image, std::uint64_t offset) {
    T value;
    std::memcpy(&value, image.data() + offset, sizeof value);
    return value;
}

} // namespace

bool programImageWhole(std::string_view image) {
    const std::uint64_t size = image.size();
    if (size < sizeof(Header)) {
        return false;
    }
    const auto header = readAt<Header>(image, 0);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != kOwnClass || header.e_ident[EI_DATA] != kOwnData ||
        (header.e_type != ET_EXEC && header.e_type != ET_DYN)) {
        return false;
    }
    if (header.e_phnum == 0 || header.e_phentsize != sizeof(ProgramHeader) ||
        !inside(size, header.e_phoff,
                static_cast<std::uint64_t>(header.e_phnum) * sizeof(ProgramHeader))) {
        return false;
    }
    for (std::uint64_t i = 0; i < header.e_phnum; ++i) {
        const auto segment =
            readAt<ProgramHeader>(image, header.e_phoff + i * sizeof(ProgramHeader));
        if (segment.p_type == PT_LOAD && !inside(size, segment.p_offset, segment.p_filesz)) {
            return false;
        }
    }
    // The section headers come last in the file: a cut copy loses them first.
    if (header.e_shoff != 0) {
        if (header.e_shentsize != sizeof(SectionHeader) ||
            !inside(size, header.e_shoff,
                    static_cast<std::uint64_t>(header.e_shnum) * sizeof(SectionHeader))) {
            return false;
        }
    }
    return true;
}

} // namespace zorvast::launcher
