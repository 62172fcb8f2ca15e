#include "pointing/places/CityLookup.h"

#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"
#include "channels/jet/JetFilter.h"
#include "common/Numbers.h"

namespace zorvast::pointing {

namespace {

namespace jet = channels::jet;

jet::FilterExpr textEquals(std::string field, std::string_view value) {
    return jet::compare(std::move(field), jet::CompareOp::Equal,
                        jet::FilterLiteral::ofText(std::string(value)));
}

template <typename Visit>
bool visitRows(const std::filesystem::path& cityDatabase, const jet::FilterExpr& filter,
               Visit visit) {
    channels::jet::JetConnection connection;
    if (!connection.open(cityDatabase.string())) {
        return false;
    }
    channels::jet::JetCursor cursor;
    cursor.attach(connection);
    if (!cursor.openTable("city") || !cursor.setFilter(filter)) {
        return false;
    }
    for (cursor.moveFirst(); !cursor.atEnd(); cursor.moveNext()) {
        if (!visit(cursor)) {
            break;
        }
    }
    return true;
}

} // namespace

std::optional<CityPoint> cityCoordinates(const std::filesystem::path& cityDatabase,
                                         std::string_view provinceCode, std::string_view name) {
    std::optional<CityPoint> point;
    visitRows(cityDatabase, jet::allOf({textEquals("sta", provinceCode), textEquals("name", name)}),
              [&](const channels::jet::JetCursor& cursor) {
                  point = CityPoint{static_cast<int>(cursor.readInteger("lo").value_or(0)),
                                    static_cast<int>(cursor.readInteger("la").value_or(0))};
                  return false;
              });
    return point;
}

std::vector<std::string> cityNames(const std::filesystem::path& cityDatabase,
                                   std::string_view provinceCode) {
    std::vector<std::string> names;
    visitRows(cityDatabase, textEquals("sta", provinceCode),
              [&](const channels::jet::JetCursor& cursor) {
                  names.push_back(cursor.readText("name").value_or(""));
                  return true;
              });
    return names;
}

std::string coordinateText(int hundredths) {
    return common::formatDouble(hundredths / 100.0);
}

} // namespace zorvast::pointing
