#include "info/forum/ForumWindowRules.h"

#include "common/Text.h"

namespace zorvast::info {

namespace {

// Bytes in the UTF-8 character at `p`, going by its first byte; a stray byte counts alone.
std::size_t utf8CharacterLength(std::string_view text, std::size_t p) {
    const auto lead = static_cast<unsigned char>(text[p]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = 3;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    }
    if (p + length > text.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[p + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

} // namespace

std::string gbkBytePrefix(std::string_view utf8, std::size_t maxBytes) {
    std::size_t end = 0;
    std::size_t bytes = 0;
    while (end < utf8.size()) {
        const std::size_t length = utf8CharacterLength(utf8, end);
        const std::size_t gbkLength = common::gbkByteLength(utf8.substr(end, length));
        if (bytes + gbkLength > maxBytes) {
            break;
        }
        bytes += gbkLength;
        end += length;
    }
    return std::string(utf8.substr(0, end));
}

std::string forumWindowTitle(std::string_view pageTitle) {
    std::string title(pageTitle);
    if (common::gbkByteLength(pageTitle) > kForumTitleMaxBytes) {
        title = gbkBytePrefix(pageTitle, kForumTitleMaxBytes) + std::string(kTitleCutMark);
    }
    return title + std::string(kForumWindowTitleSuffix);
}

ForumWindowLayout forumWindowLayout(int screenWidth, int screenHeight) {
    ForumWindowLayout layout;
    layout.top = -2;
    if (screenWidth > 1024) {
        layout.width = 1024;
        layout.browserWidth = 1020;
        layout.left = (screenWidth - 1020) / 2;
    } else {
        layout.width = screenWidth;
        layout.browserWidth = screenWidth - 4;
        layout.left = 0;
    }
    layout.height = screenHeight - 27;
    layout.browserHeight = screenHeight - 97;
    layout.statusTop = screenHeight - 74;
    return layout;
}

} // namespace zorvast::info
