#include "pointing/places/CityLookup.h"

#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"
#include "common/Numbers.h"

namespace zorvast::pointing {

namespace {

// A value inside a filter's quotes: a quote in it is doubled so it cannot end the text.
std::string quoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out + "'";
}

template <typename Visit>
bool visitRows(const std::filesystem::path& cityDatabase, const std::string& filter, Visit visit) {
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
    visitRows(cityDatabase, "sta=" + quoted(provinceCode) + " and name=" + quoted(name),
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
    visitRows(cityDatabase, "sta=" + quoted(provinceCode),
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
