// The forum browser window's sizing and title: a window as large as the screen allows (up to
// 1024 wide, centred), titled after the page it shows.
#pragma once

#include "info/Messages.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zorvast::info {

// Page titles longer than this (in GBK bytes) are cut and marked kTitleCutMark.
inline constexpr std::size_t kForumTitleMaxBytes = 80;

// The window title for a page title: the title (cut when too long) and kForumWindowTitleSuffix.
std::string forumWindowTitle(std::string_view pageTitle);

// The longest start of a UTF-8 text whose GBK form takes at most `maxBytes`, never cutting a
// character (a character GBK cannot hold counts as the one byte of its '?').
std::string gbkBytePrefix(std::string_view utf8, std::size_t maxBytes);

// Screen coordinates relative to the screen's top-left corner.
struct ForumWindowLayout {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int browserWidth = 0;
    int browserHeight = 0;
    int statusTop = 0; // the status label and the progress bar under the browser
};

ForumWindowLayout forumWindowLayout(int screenWidth, int screenHeight);

// The window's section buttons, in their order on the bar, with the section each one opens
// (an index into kForumSections).
struct ForumWindowButton {
    std::string_view caption;
    int section;
};

inline constexpr std::array<ForumWindowButton, 5> kForumWindowSectionButtons = {{
    {kForumButtonHome, 0},
    {kForumButtonDiscussion, 1},
    {kForumButtonNews, 2},
    {kForumButtonTrade, 4},
    {kForumButtonFeedback, 3},
}};

} // namespace zorvast::info
