#include "channels/jet/JetConnection.h"

#include "channels/jet/JetText.h"
#include "common/Numbers.h"

// glib first: mdbtools.h includes it inside extern "C", which breaks its C++ templates.
#include <glib.h>

#include <mdbtools.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace zorvast::channels::jet {

namespace {

constexpr std::size_t kPageSize = 4096;
constexpr char kJetSignature[] = "Standard Jet DB";

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

// libmdb trusts what it reads; refuse what is plainly not a whole Jet 4 file before it
// gets the chance to wander.
bool looksLikeJet4(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    const auto size = static_cast<std::uint64_t>(in.tellg());
    if (size < 3 * kPageSize || size % kPageSize != 0) {
        error = "not a whole number of Jet pages";
        return false;
    }
    std::array<char, 0x18> header{};
    in.seekg(0);
    if (!in.read(header.data(), header.size())) {
        error = "cannot read the header";
        return false;
    }
    if (header[0] != 0 ||
        std::memcmp(header.data() + 4, kJetSignature, sizeof kJetSignature) != 0) {
        error = "not a Jet database";
        return false;
    }
    if (header[0x14] != 1) {
        error = "not a Jet 4 database";
        return false;
    }
    return true;
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
        value.integer = common::parseLeadingInteger(value.text);
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

} // namespace

struct JetConnection::Handle {
    MdbHandle* mdb = nullptr;
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
    if (!looksLikeJet4(path, lastError_)) {
        return false;
    }
    auto handle = std::make_unique<Handle>();
    handle->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!handle->mdb) {
        lastError_ = "libmdb cannot open the file";
        return false;
    }
    if (!mdb_read_catalog(handle->mdb, MDB_TABLE)) {
        lastError_ = "cannot read the catalog";
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
    MdbHandle* mdb = handle_->mdb;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry)) {
            names.emplace_back(entry->object_name);
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
    MdbHandle* mdb = handle_->mdb;
    // Find the catalog's own spelling: names are matched without regard to case.
    std::string stored;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && equalsTextFolded(entry->object_name, name)) {
            stored = entry->object_name;
            break;
        }
    }
    if (stored.empty()) {
        lastError_ = "no table '" + name + "'";
        return std::nullopt;
    }
    MdbTableDef* table = mdb_read_table_by_name(mdb, stored.data(), MDB_TABLE);
    if (!table) {
        lastError_ = "cannot read table '" + name + "'";
        return std::nullopt;
    }
    struct TableGuard {
        MdbTableDef* t;
        ~TableGuard() { mdb_free_tabledef(t); }
    } guard{table};
    if (!mdb_read_columns(table)) {
        lastError_ = "cannot read the columns of '" + name + "'";
        return std::nullopt;
    }

    TableData data;
    data.name = stored;
    const unsigned columnCount = table->num_cols;
    const std::size_t bindSize = mdb->bind_size;
    std::vector<char> buffers(static_cast<std::size_t>(columnCount) * bindSize);
    std::vector<int> lengths(columnCount, 0);
    std::vector<FieldKind> kinds(columnCount);
    data.fields.reserve(columnCount);
    for (unsigned c = 0; c < columnCount; ++c) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
        kinds[c] = kindOf(column->col_type);
        data.fields.push_back({column->name, kinds[c]});
        mdb_bind_column(table, static_cast<int>(c + 1), buffers.data() + c * bindSize, &lengths[c]);
    }
    mdb_rewind_table(table); // returns 0 whatever happens
    data.rows.reserve(table->num_rows);
    while (mdb_fetch_row(table)) {
        std::vector<FieldValue>& row = data.rows.emplace_back(columnCount);
        for (unsigned c = 0; c < columnCount; ++c) {
            fillValue(row[c], kinds[c], buffers.data() + c * bindSize, lengths[c]);
        }
    }
    return data;
}

} // namespace zorvast::channels::jet
