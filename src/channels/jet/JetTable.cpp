#include "channels/jet/JetTable.h"

#include "channels/jet/JetText.h"

namespace zorvast::channels::jet {

int TableData::fieldIndex(std::string_view fieldName) const {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (equalsTextFolded(fields[i].name, fieldName)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace zorvast::channels::jet
