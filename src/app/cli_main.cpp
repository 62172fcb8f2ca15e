// zorvast-cli: the program's computations and data from a terminal.
#include "app/CalculatorCommands.h"
#include "app/PointCommand.h"
#include "app/QueryCommands.h"
#include "app/SunCommands.h"
#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;
using namespace zorvast::channels::jet;

int usage() {
    std::fputs("usage:\n"
               "  zorvast-cli tables FILE.mdb\n"
               "  zorvast-cli rows FILE.mdb TABLE [--filter CRITERION] [--order KEYS]\n",
               stderr);
    std::fputs(zorvast::app::kPointUsage, stderr);
    std::fputs(zorvast::app::kSpacingUsage, stderr);
    std::fputs(zorvast::app::kObstacleUsage, stderr);
    std::fputs(zorvast::app::kTableUsage, stderr);
    std::fputs(zorvast::app::kSearchUsage, stderr);
    std::fputs(zorvast::app::kProviderUsage, stderr);
    std::fputs(zorvast::app::kSunOutageUsage, stderr);
    std::fputs(zorvast::app::kSunAzimuthUsage, stderr);
    return 2;
}

bool openDatabase(JetConnection& connection, const std::string& path) {
    if (!connection.open(path)) {
        std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), connection.lastError().c_str());
        return false;
    }
    return true;
}

int listTables(const Args& args) {
    if (args.size() != 1) {
        return usage();
    }
    JetConnection connection;
    if (!openDatabase(connection, args[0])) {
        return 1;
    }
    for (const std::string& name : connection.tableNames()) {
        std::printf("%s\n", name.c_str());
    }
    return 0;
}

// Rows as tab-separated UTF-8 text with a header line, in cursor order.
int listRows(const Args& args) {
    if (args.size() < 2) {
        return usage();
    }
    std::string filter;
    std::string order;
    for (std::size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) {
            return usage();
        }
        if (args[i] == "--filter") {
            filter = args[i + 1];
        } else if (args[i] == "--order") {
            order = args[i + 1];
        } else {
            return usage();
        }
    }
    JetConnection connection;
    if (!openDatabase(connection, args[0])) {
        return 1;
    }
    JetCursor cursor;
    cursor.attach(connection);
    const bool opened = order.empty() ? cursor.openTable(args[1])
                                      : cursor.openQuery(orderedQueryText(args[1], order));
    if (!opened) {
        std::fprintf(stderr, "cannot open %s: %s\n", args[1].c_str(), cursor.lastError().c_str());
        return 1;
    }
    if (!cursor.setFilter(filter)) {
        std::fprintf(stderr, "bad filter: %s\n", cursor.lastError().c_str());
        return 1;
    }
    std::string line;
    for (const FieldInfo& field : cursor.fields()) {
        line += (line.empty() ? "" : "\t") + field.name;
    }
    std::printf("%s\n", line.c_str());
    for (cursor.moveFirst(); !cursor.atEnd(); cursor.moveNext()) {
        line.clear();
        bool first = true;
        for (const FieldInfo& field : cursor.fields()) {
            if (!first) {
                line += '\t';
            }
            first = false;
            line += cursor.readText(field.name).value_or("");
        }
        std::printf("%s\n", line.c_str());
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const std::map<std::string, std::function<int(const Args&)>> commands = {
        {"tables", listTables},
        {"rows", listRows},
        {"point", zorvast::app::runPointCommand},
        {"spacing", zorvast::app::runSpacingCommand},
        {"obstacle", zorvast::app::runObstacleCommand},
        {"table", zorvast::app::runTableCommand},
        {"search", zorvast::app::runSearchCommand},
        {"provider", zorvast::app::runProviderCommand},
        {"sun-outage", zorvast::app::runSunOutageCommand},
        {"sun-azimuth", zorvast::app::runSunAzimuthCommand},
    };
    if (argc < 2) {
        return usage();
    }
    const auto command = commands.find(argv[1]);
    if (command == commands.end()) {
        return usage();
    }
    return command->second(Args(argv + 2, argv + argc));
}
