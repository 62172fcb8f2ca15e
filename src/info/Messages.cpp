#include "info/Messages.h"

namespace zorvast::info {

std::string newsCountdownCaption(int secondsLeft) {
    return "稍等...(" + std::to_string(secondsLeft) + ")";
}

std::string tradeCountdownCaption(int secondsLeft) {
    return "稍等" + std::to_string(secondsLeft);
}

} // namespace zorvast::info
