// Writes Microsoft Jet 4 (Access 2000) database files from scratch: the minimum that
// mdbtools and mdb-reader both read, enough for the program's own data and test fixtures.
#pragma once

#include "JetTable.h"
#include "TsvReader.h"
#include "channels/store/StoredFile.h"

#include <string>
#include <vector>

namespace jetwriter {

// The 66 header bytes every file starts with (page 0, before the password area): the ones the
// program puts back in front of a stored database.
using zorvast::channels::store::kJetHeaderPrefix;

// Returns the file's bytes. Throws std::invalid_argument when a table, column or value
// does not fit the format (unknown type, text too long, number out of range, row too big,
// a row with the wrong number of cells, duplicate names).
// Names: 1..64 characters, no control characters; table and column names are unique
// ignoring ASCII case (mdbtools looks them up that way); "MSysObjects" is taken.
// Rows keep their order; the same input always gives the same bytes.
std::string writeDatabase(const std::vector<Table>& tables);

// Writes the bytes to `path`; throws std::runtime_error when the file cannot be written.
// Goes through writeFileAtomically (common/Files.h), durable, so `path` is never half written.
void writeDatabaseFile(const std::string& path, const std::vector<Table>& tables);

} // namespace jetwriter
