#include "channels/jet/JetConnection.h"

#include "channels/jet/JetFileCheck.h"
#include "channels/jet/JetText.h"
#include "common/Numbers.h"

// glib first: mdbtools.h includes it inside extern "C", which breaks its C++ templates.
#include <glib.h>

#include <mdbtools.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string_view>

namespace zorvast::channels::jet {

namespace {

constexpr std::uint32_t kSystemObjectFlags = 0x80000002;
// Room for any number libmdb writes as text ("%.16g" of a double at most 24 characters).
constexpr std::size_t kNumberTextBytes = 64;

FieldKind kindOf(int columnType) {
    switch (columnType) {
    case MDB_TEXT:
    case MDB_MEMO:
        return FieldKind::Text;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return FieldKind::Integer;
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_MONEY:
    case MDB_NUMERIC:
        return FieldKind::Real;
    case MDB_BOOL:
        return FieldKind::Boolean;
    default:
        return FieldKind::Other;
    }
}

// The column types whose bound text is exactly mdb_col_to_string's, cut to the bind size.
bool convertsDirectly(int columnType) {
    switch (columnType) {
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_FLOAT:
    case MDB_DOUBLE:
        return true;
    default:
        return false;
    }
}

// An Integer or Long stored at `start` of the page, as libmdb prints it (signed,
// little-endian); nothing for other types or outside the page.
std::optional<std::int64_t> wholeNumberAt(const unsigned char* page, int start, int columnType) {
    const int size = columnType == MDB_INT ? 2 : columnType == MDB_LONGINT ? 4 : 0;
    if (size == 0 || start < 0 || start + size > MDB_PGSIZE) {
        return std::nullopt;
    }
    const unsigned char* at = page + start;
    if (columnType == MDB_INT) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(at[0] | (at[1] << 8)));
    }
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
        (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24));
}

// The whole file, read once: the checks and libmdb then see the same bytes.
bool readWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size < 0) {
        error = "cannot read " + path;
        return false;
    }
    if (static_cast<std::uint64_t>(size) > kMaxJetFileBytes) {
        error = "the file is too large for a Jet database";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(bytes.data(), size)) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

// libmdb writes whole numbers as plain decimals: read those directly, and anything else the
// general way. Fifteen digits at most, where the general way is exact as well.
std::int64_t leadingInteger(std::string_view text) {
    std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    if (text.size() == i || text.size() - i > 15) {
        return common::parseLeadingInteger(text);
    }
    std::int64_t value = 0;
    for (std::size_t j = i; j < text.size(); ++j) {
        const char c = text[j];
        if (c < '0' || c > '9') {
            return common::parseLeadingInteger(text);
        }
        value = value * 10 + (c - '0');
    }
    return i == 1 ? -value : value;
}

void fillValue(FieldValue& value, FieldKind kind, const char* text, int length) {
    value.text.assign(text, static_cast<std::size_t>(length > 0 ? length : 0));
    switch (kind) {
    case FieldKind::Text:
        // libmdb cannot tell NULL from "" for texts, and the program treats them alike.
        return;
    case FieldKind::Integer:
    case FieldKind::Boolean:
        value.isNull = length <= 0 && kind == FieldKind::Integer;
        value.integer = leadingInteger(value.text);
        return;
    case FieldKind::Real:
        value.isNull = length <= 0;
        value.real = common::parseLeadingNumber(value.text);
        return;
    case FieldKind::Other:
        value.isNull = length <= 0;
        return;
    }
}

// A table the catalog lists, as libmdb's own catalog reading would keep it.
struct CatalogEntry {
    std::string name;
    std::uint32_t tdefPage = 0;
    std::uint32_t flags = 0;
};

// A definition libmdb has read, freed when this goes; `entry` must stay where it is.
struct OpenTable {
    MdbCatalogEntry entry{};
    MdbTableDef* def = nullptr;
    CheckedTable checked;

    OpenTable() = default;
    OpenTable(const OpenTable&) = delete;
    OpenTable& operator=(const OpenTable&) = delete;
    ~OpenTable() { mdb_free_tabledef(def); }
};

// Hands libmdb the definition at `tdefPage` and its columns, only once the file's own
// bytes have shown that everything it will follow from there lies inside the file.
bool openTable(MdbHandle* mdb, const std::string& bytes, const std::string& name,
               std::uint32_t tdefPage, OpenTable& table, std::string& error) {
    const std::optional<CheckedTable> checked = JetFileCheck(bytes).checkTable(tdefPage, error);
    if (!checked) {
        return false;
    }
    table.checked = *checked;
    table.entry.mdb = mdb;
    std::snprintf(table.entry.object_name, sizeof table.entry.object_name, "%s", name.c_str());
    table.entry.object_type = MDB_TABLE;
    table.entry.table_pg = tdefPage;
    table.def = mdb_read_table(&table.entry);
    if (!table.def) {
        error = "libmdb cannot read the definition";
        return false;
    }
    if (!mdb_read_columns(table.def) || table.def->num_cols != table.checked.columnCount ||
        !table.def->columns || table.def->columns->len != table.checked.columnCount) {
        error = "libmdb cannot read the columns";
        return false;
    }
    return true;
}

// Fetches the next row; false at the end, and with `error` set when the table yields more
// rows than its pages could hold.
bool fetchRow(OpenTable& table, std::uint64_t rowsSoFar, std::string& error) {
    if (!mdb_fetch_row(table.def)) {
        return false;
    }
    if (rowsSoFar >= table.checked.maxRows) {
        error = "more rows than the file can hold";
        return false;
    }
    return true;
}

int columnIndex(MdbTableDef* def, std::string_view name) {
    for (unsigned c = 0; c < def->num_cols; ++c) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
        if (equalsTextFolded(column->name, name)) {
            return static_cast<int>(c);
        }
    }
    return -1;
}

// MSysObjects, read the way mdb_read_catalog reads it, but through the checked path and
// without following the LvProp long values (property blobs the engine never uses).
bool readCatalog(MdbHandle* mdb, const std::string& bytes, std::vector<CatalogEntry>& catalog,
                 std::string& error) {
    OpenTable table;
    if (!openTable(mdb, bytes, "MSysObjects", 2, table, error)) {
        return false;
    }
    struct Bound {
        const char* name;
        int type;
        int index = -1;
    };
    std::array<Bound, 4> bound = {Bound{"Id", MDB_LONGINT}, Bound{"Name", MDB_TEXT},
                                  Bound{"Type", MDB_INT}, Bound{"Flags", MDB_LONGINT}};
    if (columnIndex(table.def, "LvProp") < 0) {
        error = "MSysObjects has no column LvProp";
        return false;
    }
    const std::size_t bindSize = mdb->bind_size;
    std::vector<char> buffers(bound.size() * bindSize);
    std::array<int, 4> lengths{};
    for (std::size_t b = 0; b < bound.size(); ++b) {
        bound[b].index = columnIndex(table.def, bound[b].name);
        if (bound[b].index < 0) {
            error = std::string("MSysObjects has no column ") + bound[b].name;
            return false;
        }
        auto* column =
            static_cast<MdbColumn*>(g_ptr_array_index(table.def->columns, bound[b].index));
        if (column->col_type != bound[b].type) {
            error = std::string("MSysObjects column ") + bound[b].name + " has the wrong type";
            return false;
        }
        mdb_bind_column(table.def, bound[b].index + 1, buffers.data() + b * bindSize, &lengths[b]);
    }
    auto text = [&](std::size_t b) {
        return std::string_view(buffers.data() + b * bindSize,
                                static_cast<std::size_t>(std::max(lengths[b], 0)));
    };
    mdb_rewind_table(table.def);
    for (std::uint64_t rows = 0; fetchRow(table, rows, error); ++rows) {
        if (common::parseLeadingInteger(text(2)) != MDB_TABLE) {
            continue;
        }
        CatalogEntry entry;
        entry.name = std::string(text(1));
        entry.tdefPage =
            static_cast<std::uint32_t>(common::parseLeadingInteger(text(0))) & 0x00FFFFFF;
        entry.flags = static_cast<std::uint32_t>(common::parseLeadingInteger(text(3)));
        catalog.push_back(std::move(entry));
    }
    return error.empty();
}

} // namespace

struct JetConnection::Handle {
    std::string bytes; // the whole file: libmdb reads it from here
    MdbHandle* mdb = nullptr;
    std::vector<CatalogEntry> catalog;
    ~Handle() {
        if (mdb) {
            mdb_close(mdb);
        }
    }
};

JetConnection::JetConnection() = default;
JetConnection::~JetConnection() = default;

bool JetConnection::open(const std::string& path, const std::string& password) {
    close();
    lastError_.clear();
    if (!password.empty()) {
        lastError_ = "wrong password";
        return false;
    }
    auto handle = std::make_unique<Handle>();
    if (!readWholeFile(path, handle->bytes, lastError_) ||
        !JetFileCheck(handle->bytes).checkHeader(lastError_)) {
        return false;
    }
    handle->mdb = mdb_open_buffer(handle->bytes.data(), handle->bytes.size(), MDB_NOFLAGS);
    if (!handle->mdb) {
        lastError_ = "libmdb cannot open the file";
        return false;
    }
    std::string why;
    if (!readCatalog(handle->mdb, handle->bytes, handle->catalog, why)) {
        lastError_ = "cannot read the catalog: " + why;
        return false;
    }
    handle_ = std::move(handle);
    return true;
}

void JetConnection::close() {
    handle_.reset();
}

bool JetConnection::isOpen() const {
    return handle_ != nullptr;
}

std::vector<std::string> JetConnection::tableNames() const {
    std::vector<std::string> names;
    if (!handle_) {
        return names;
    }
    for (const CatalogEntry& entry : handle_->catalog) {
        if ((entry.flags & kSystemObjectFlags) == 0) {
            names.push_back(entry.name);
        }
    }
    return names;
}

std::optional<TableData> JetConnection::loadTable(const std::string& name) {
    lastError_.clear();
    if (!handle_) {
        lastError_ = "not open";
        return std::nullopt;
    }
    // Find the catalog's own spelling: names are matched without regard to case.
    const CatalogEntry* found = nullptr;
    for (const CatalogEntry& entry : handle_->catalog) {
        if (equalsTextFolded(entry.name, name)) {
            found = &entry;
            break;
        }
    }
    if (!found) {
        lastError_ = "no table '" + name + "'";
        return std::nullopt;
    }
    MdbHandle* mdb = handle_->mdb;
    OpenTable table;
    std::string why;
    if (!openTable(mdb, handle_->bytes, found->name, found->tdefPage, table, why)) {
        lastError_ = "cannot read table '" + name + "': " + why;
        return std::nullopt;
    }

    TableData data;
    data.name = found->name;
    const unsigned columnCount = table.def->num_cols;
    // libmdb takes a buffer of bind_size bytes for every value it converts. Sized for the
    // longest value the columns allow (three UTF-8 bytes for each two-byte character), short
    // buffers come from the allocator's fast lists; a text longer than its column allows,
    // which only a damaged file holds, is cut there.
    const std::size_t defaultBindSize = mdb->bind_size;
    std::size_t longest = kNumberTextBytes;
    bool shortValues = true;
    for (unsigned c = 0; c < columnCount; ++c) {
        const auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table.def->columns, c));
        const int type = column->col_type;
        if (type == MDB_TEXT) {
            longest = std::max(longest, static_cast<std::size_t>(column->col_size) / 2 * 3 + 1);
        }
        shortValues = shortValues && (type == MDB_TEXT || type == MDB_BYTE || type == MDB_INT ||
                                      type == MDB_LONGINT || type == MDB_BOOL ||
                                      type == MDB_FLOAT || type == MDB_DOUBLE);
    }
    if (shortValues && longest < defaultBindSize) {
        mdb_set_bind_size(mdb, longest);
    }
    struct RestoreBindSize {
        MdbHandle* mdb;
        std::size_t size;
        ~RestoreBindSize() { mdb_set_bind_size(mdb, size); }
    } restore{mdb, defaultBindSize};
    const std::size_t bindSize = mdb->bind_size;
    std::vector<char> buffers(static_cast<std::size_t>(columnCount) * bindSize);
    std::vector<int> lengths(columnCount, 0);
    std::vector<FieldKind> kinds(columnCount);
    // Texts and plain numbers are converted here from where libmdb found them in the row, with
    // libmdb's own conversion: a bound column would get the same text copied once more
    // through a formatted print. The rest stays bound.
    std::vector<MdbColumn*> direct(columnCount, nullptr);
    data.fields.reserve(columnCount);
    for (unsigned c = 0; c < columnCount; ++c) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table.def->columns, c));
        kinds[c] = kindOf(column->col_type);
        data.fields.push_back({column->name, kinds[c]});
        if (convertsDirectly(column->col_type)) {
            column->bind_ptr = nullptr;
            column->len_ptr = nullptr;
            direct[c] = column;
            continue;
        }
        mdb_bind_column(table.def, static_cast<int>(c + 1), buffers.data() + c * bindSize,
                        &lengths[c]);
    }
    mdb_rewind_table(table.def); // returns 0 whatever happens
    // The stored row count is not trusted for sizing: rows are kept as they come.
    for (std::uint64_t rows = 0; fetchRow(table, rows, why); ++rows) {
        std::vector<FieldValue>& row = data.rows.emplace_back(columnCount);
        for (unsigned c = 0; c < columnCount; ++c) {
            MdbColumn* column = direct[c];
            if (!column) {
                fillValue(row[c], kinds[c], buffers.data() + c * bindSize, lengths[c]);
            } else if (column->cur_value_len == 0) {
                fillValue(row[c], kinds[c], "", 0); // NULL or empty, as a bound column gives
            } else if (const auto number =
                           wholeNumberAt(mdb->pg_buf, column->cur_value_start, column->col_type)) {
                char digits[16];
                const auto end = std::to_chars(digits, digits + sizeof digits, *number).ptr;
                fillValue(row[c], kinds[c], digits, static_cast<int>(end - digits));
            } else {
                char* text = mdb_col_to_string(mdb, mdb->pg_buf, column->cur_value_start,
                                               column->col_type, column->cur_value_len);
                // Cut where the bound column's buffer would have cut it.
                const std::size_t length = text ? ::strnlen(text, bindSize - 1) : 0;
                fillValue(row[c], kinds[c], text ? text : "", static_cast<int>(length));
                g_free(text);
            }
        }
    }
    if (!why.empty()) {
        lastError_ = "cannot read table '" + name + "': " + why;
        return std::nullopt;
    }
    return data;
}

} // namespace zorvast::channels::jet
