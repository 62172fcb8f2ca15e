// The forum's sections, in the order of the community tab's quick-entry list.
#pragma once

#include "info/Messages.h"

#include <array>
#include <string_view>

namespace zorvast::info {

struct ForumSection {
    std::string_view name;
    std::string_view path; // appended to the forum root; empty: the root itself
};

inline constexpr std::array<ForumSection, 5> kForumSections = {{
    {kSectionForumHome, ""},
    {kSectionDiscussion, "forum-7-1.html"},
    {kSectionNews, "forum-6-1.html"},
    {kSectionFeedback, "forum-8-1.html"},
    {kSectionTradePosting, "forum-9-1.html"},
}};

} // namespace zorvast::info
