#include "info/pages/BrowserView.h"

namespace zorvast::info {

std::string addressBoxText(std::string_view address) {
    return address.starts_with("http") ? std::string(address) : std::string();
}

} // namespace zorvast::info
