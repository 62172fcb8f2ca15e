// The two kinds of package the update fetches: the data package and the program package.
#pragma once

namespace zorvast::update {

enum class PackageKind {
    Data,     // satdata.tmp from "/du.htm"
    Software, // plumo.tmp from "/su.htm"
};

} // namespace zorvast::update
