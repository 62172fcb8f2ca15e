// The forum's sections, in the order of the community tab's quick-entry list.
#pragma once

#include <array>
#include <string_view>

namespace zorvast::info {

struct ForumSection {
    std::string_view name;
    std::string_view path; // appended to the forum root; empty: the root itself
};

inline constexpr std::array<ForumSection, 5> kForumSections = {{
    {"交流论坛主页", ""},
    {"星友交流讨论", "forum-7-1.html"},
    {"星讯星闻播报", "forum-6-1.html"},
    {"软件意见反馈", "forum-8-1.html"},
    {"交易免费发布", "forum-9-1.html"},
}};

} // namespace zorvast::info
