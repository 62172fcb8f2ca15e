#include "launcher/ProgramImage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <elf.h>
#include <functional>
#include <link.h>
#include <string>

namespace zorvast::launcher {
namespace {

// A real program of this machine: the test itself.
std::string ownImage() {
    return testing::readAll("/proc/self/exe");
}

std::string withHeader(std::string image, const std::function<void(ElfW(Ehdr) &)>& change) {
    ElfW(Ehdr) header;
    std::memcpy(&header, image.data(), sizeof header);
    change(header);
    std::memcpy(image.data(), &header, sizeof header);
    return image;
}

// The first loaded segment's header, changed.
std::string withFirstLoad(std::string image, const std::function<void(ElfW(Phdr) &)>& change) {
    ElfW(Ehdr) header;
    std::memcpy(&header, image.data(), sizeof header);
    for (std::size_t i = 0; i < header.e_phnum; ++i) {
        const std::size_t at = header.e_phoff + i * sizeof(ElfW(Phdr));
        ElfW(Phdr) segment;
        std::memcpy(&segment, image.data() + at, sizeof segment);
        if (segment.p_type == PT_LOAD) {
            change(segment);
            std::memcpy(image.data() + at, &segment, sizeof segment);
            return image;
        }
    }
    throw std::runtime_error("no loaded segment");
}

struct ImageCase {
    const char* name;
    std::function<std::string(const std::string&)> make;
    bool whole;
};

TEST(ProgramImage, TellsWholeProgramsFromCutOrForeignOnes) {
    const std::string image = ownImage();
    ASSERT_GT(image.size(), 4096u);
    const ImageCase cases[] = {
        {"as built", [](const std::string& i) { return i; }, true},
        {"with bytes after its end", [](const std::string& i) { return i + "trailing"; }, true},
        {"one byte short", [](const std::string& i) { return i.substr(0, i.size() - 1); }, false},
        {"cut in half", [](const std::string& i) { return i.substr(0, i.size() / 2); }, false},
        {"header only", [](const std::string& i) { return i.substr(0, sizeof(ElfW(Ehdr))); },
         false},
        {"shorter than a header", [](const std::string& i) { return i.substr(0, 20); }, false},
        {"empty", [](const std::string&) { return std::string(); }, false},
        {"a script", [](const std::string&) { return std::string("#!/bin/sh\necho hi\n"); }, false},
        {"another word size",
         [](const std::string& i) {
             std::string changed = i;
             changed[EI_CLASS] = sizeof(void*) == 8 ? ELFCLASS32 : ELFCLASS64;
             return changed;
         },
         false},
        {"a relocatable object",
         [](const std::string& i) { return withHeader(i, [](auto& h) { h.e_type = ET_REL; }); },
         false},
        {"no program headers",
         [](const std::string& i) { return withHeader(i, [](auto& h) { h.e_phnum = 0; }); }, false},
        {"program headers past the end",
         [](const std::string& i) {
             return withHeader(i, [&i](auto& h) { h.e_phoff = i.size() - 8; });
         },
         false},
        {"program headers at an offset that wraps around",
         [](const std::string& i) {
             return withHeader(i, [](auto& h) { h.e_phoff = ~static_cast<ElfW(Off)>(0) - 8; });
         },
         false},
        {"section headers past the end",
         [](const std::string& i) {
             return withHeader(i, [&i](auto& h) { h.e_shoff = i.size(); });
         },
         false},
        {"a loaded segment past the end",
         [](const std::string& i) {
             return withFirstLoad(i, [&i](auto& s) { s.p_filesz = i.size() + 1; });
         },
         false},
        {"a loaded segment whose end wraps around",
         [](const std::string& i) {
             return withFirstLoad(i, [](auto& s) { s.p_offset = ~static_cast<ElfW(Off)>(0); });
         },
         false},
    };
    for (const ImageCase& c : cases) {
        EXPECT_EQ(programImageWhole(c.make(image)), c.whole) << c.name;
    }
}

} // namespace
} // namespace zorvast::launcher
