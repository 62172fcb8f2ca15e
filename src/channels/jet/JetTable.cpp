#include "channels/jet/JetTable.h"

#include "channels/jet/JetText.h"

namespace zorvast::channels::jet {

int TableData::fieldIndex(std::string_view fieldName) const {
    // Callers nearly always spell the name as stored: try that first, it is much cheaper.
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == fieldName) {
            return static_cast<int>(i);
        }
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (equalsTextFolded(fields[i].name, fieldName)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace zorvast::channels::jet
