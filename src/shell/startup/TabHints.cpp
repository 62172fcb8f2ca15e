#include "shell/startup/TabHints.h"

#include "common/ProgramVersion.h"
#include "shell/Messages.h"
#include "shell/startup/LocalPagesStep.h"

namespace zorvast::shell {

std::string tabHintFor(int tabIndex, const std::filesystem::path& storedFile) {
    switch (tabIndex) {
    case 0: {
        const auto date = fileDateText(storedFile);
        return date ? messages::kHintNewsTab + *date + messages::kStatusEnd
                    : messages::kHintNewsTabNoData;
    }
    case 1:
        return messages::kHintParameterTab;
    case 2:
        return messages::kHintPointingTab;
    case 3:
    case 4:
        return messages::kHintNone;
    case 5:
    case 6:
        return messages::kHintPageTabs;
    case 7:
        return messages::kHintTradeTab;
    case 8:
        return messages::kHintCommunityTab;
    default:
        return {};
    }
}

std::string tabVersionText() {
    return messages::kVersionFieldPrefix + std::string(common::programVersion()) + " ";
}

} // namespace zorvast::shell
