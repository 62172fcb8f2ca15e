#include "common/ProgramVersion.h"

namespace zorvast::common {

const char* programVersion() {
    return "1.02";
}

} // namespace zorvast::common
