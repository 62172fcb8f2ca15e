// The typed TSV files the shipped data is kept in, read into tables.
#pragma once

#include "JetTable.h"

#include <string>

namespace jetwriter {

// Typed TSV (header "name:Text(20)\tcount:Long\tflag:YesNo\tn:Integer"; cells with the
// escapes \t \n \r \\ and \N for NULL; Yes/No cells 1/0/true/false). Throws
// std::invalid_argument with the line number on bad input ("line 3: ..."). "name:Text" alone
// means Text(255); a trailing newline and CR LF line ends are fine.
Table readTypedTsv(const std::string& tableName, const std::string& tsvText);

} // namespace jetwriter
