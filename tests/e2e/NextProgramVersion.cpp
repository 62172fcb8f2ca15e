// The newer build the program update installs in the end-to-end tests: the same program,
// calling itself 1.03.
#include "common/ProgramVersion.h"

namespace zorvast::common {

const char* programVersion() {
    return "1.03";
}

} // namespace zorvast::common
