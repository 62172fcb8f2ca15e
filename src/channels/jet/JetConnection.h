// A connection to one Jet 4 database file, read through libmdb. One connection belongs to
// one thread at a time: libmdb handles are not safe to share.
#pragma once

#include "channels/jet/JetTable.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::channels::jet {

class JetConnection {
public:
    JetConnection();
    ~JetConnection();
    JetConnection(const JetConnection&) = delete;
    JetConnection& operator=(const JetConnection&) = delete;

    // Opens the file; the program's databases carry no password, so only "" opens.
    // The file is read whole and libmdb reads from that copy, so every check made on the
    // bytes holds for what libmdb sees. False (and no connection) for a missing, short,
    // damaged or non-Jet file, or one whose catalog does not pass the checks.
    bool open(const std::string& path, const std::string& password = "");
    void close();
    bool isOpen() const;

    // Why the last open or load failed, for diagnostics and tests.
    const std::string& lastError() const { return lastError_; }

    // The user tables' names, in catalog order.
    std::vector<std::string> tableNames() const;

    // Reads a whole table into memory; nullopt when there is no such table or it cannot
    // be read, which includes a definition, usage map or row count that does not fit the
    // file (lastError says which).
    std::optional<TableData> loadTable(const std::string& name);

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::string lastError_;
};

} // namespace zorvast::channels::jet
