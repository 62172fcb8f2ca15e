// Checks of a Jet 4 file's own bytes, made before libmdb is allowed to follow them. libmdb
// takes page numbers, row offsets and counts from the file as they stand; everything it
// would follow for a table is checked here against the file's size first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorvast::channels::jet {

inline constexpr std::size_t kJetPageSize = 4096;
// The whole file is held in memory while it is open; far above any channel or city database.
inline constexpr std::uint64_t kMaxJetFileBytes = 1ull << 30;

// What a checked table definition says, in the file's own terms.
struct CheckedTable {
    unsigned columnCount = 0;
    std::uint32_t rowCount = 0;    // as stored; no more than the whole file could hold
    std::uint32_t mappedPages = 0; // pages the owned-pages map marks, all inside the file
    std::uint64_t maxRows = 0;     // the most rows those pages could hold
};

class JetFileCheck {
public:
    // `bytes` is the whole file and must outlive the check.
    explicit JetFileCheck(std::string_view bytes) : bytes_(bytes) {}

    // Whole pages, a Jet 4 header, and pages stored plainly (no page key).
    bool checkHeader(std::string& error) const;

    // The definition at `tdefPage` (its page chain, counts, column blocks and names) and the
    // usage maps with every page they mark. nullopt, with the reason, when anything points
    // outside the file or does not fit where it stands.
    std::optional<CheckedTable> checkTable(std::uint32_t tdefPage, std::string& error) const;

    std::uint32_t pageCount() const {
        return static_cast<std::uint32_t>(bytes_.size() / kJetPageSize);
    }

    // A row needs its 2-byte slot, its 2-byte column count and its null mask at least.
    static std::uint64_t maxRowsIn(std::uint64_t pages, unsigned columnCount);

private:
    const unsigned char* page(std::uint32_t number) const {
        return reinterpret_cast<const unsigned char*>(bytes_.data()) +
               static_cast<std::size_t>(number) * kJetPageSize;
    }
    bool findRow(std::uint32_t pageRow, const char* what, std::size_t& start, std::size_t& length,
                 std::string& error) const;
    bool checkUsageMap(const unsigned char* map, std::size_t length, std::uint32_t& pages,
                       std::string& error) const;

    std::string_view bytes_;
};

} // namespace zorvast::channels::jet
