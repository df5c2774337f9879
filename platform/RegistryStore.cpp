#include "platform/RegistryStore.h"

#include "platform/FileLock.h"

#include <cstring>
#include <sqlite3.h>

namespace platform {

namespace {

// "KAVR" in the database header marks a file as one of our stores.
constexpr int64_t kApplicationId = 0x4B415652;
constexpr int64_t kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 10000;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " fold BLOB NOT NULL,"
    " depth INTEGER NOT NULL,"
    " UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " fold BLOB NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " PRIMARY KEY(key, fold)) WITHOUT ROWID;"
    "INSERT OR IGNORE INTO keys(id, parent, name, fold, depth) VALUES(1, NULL, '', x'', 0);";

// Both marks of a new file in one statement, so that they come from one snapshot.
const char* const kSqlMarks = "SELECT (SELECT application_id FROM pragma_application_id()),"
                              " (SELECT count(*) FROM sqlite_master)";
const char* const kSqlUserVersion = "PRAGMA user_version";
const char* const kSqlQuickCheck = "PRAGMA quick_check";
const char* const kSqlDepth = "SELECT depth FROM keys WHERE id = ?1";
const char* const kSqlChild = "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2";
const char* const kSqlInsertKey =
    "INSERT INTO keys(parent, name, fold, depth) VALUES(?1, ?2, ?3, ?4)";
const char* const kSqlInfo = "SELECT EXISTS(SELECT 1 FROM keys WHERE id = ?1),"
                             " (SELECT count(*) FROM keys WHERE parent = ?1),"
                             " (SELECT count(*) FROM vals WHERE key = ?1)";
const char* const kSqlEnumKey =
    "SELECT EXISTS(SELECT 1 FROM keys WHERE id = ?1),"
    " (SELECT name FROM keys WHERE parent = ?1 ORDER BY fold LIMIT 1 OFFSET ?2)";
const char* const kSqlEnumValue =
    "SELECT EXISTS(SELECT 1 FROM keys WHERE id = ?1),"
    " (SELECT name FROM vals WHERE key = ?1 ORDER BY fold LIMIT 1 OFFSET ?2)";
const char* const kSqlQueryValue = "SELECT v.type, v.data FROM keys k"
                                   " LEFT JOIN vals v ON v.key = k.id AND v.fold = ?2"
                                   " WHERE k.id = ?1";
const char* const kSqlSetValue =
    "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
    " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data";
const char* const kSqlDeleteValue = "DELETE FROM vals WHERE key = ?1 AND fold = ?2";
const char* const kSqlHasChild = "SELECT EXISTS(SELECT 1 FROM keys WHERE parent = ?1)";
const char* const kSqlDeleteKey = "DELETE FROM keys WHERE id = ?1";

// Names compare with ASCII letters folded to upper case; other bytes compare as they are.
std::string Fold(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return folded;
}

RegStatus FromSqlite(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return RegStatus::Ok;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_CANTOPEN:
        return RegStatus::BadStore;
    case SQLITE_TOOBIG:
        return RegStatus::InvalidArg;
    default:
        break;
    }
    if (rc == SQLITE_CONSTRAINT_FOREIGNKEY)
        return RegStatus::KeyDeleted;
    return RegStatus::IoFailed;
}

} // namespace

// One use of a cached prepared statement; resets it and drops its bindings when done.
class RegistryStore::Query {
public:
    Query(RegistryStore& store, const char* sql) KAVRIN_REQUIRES(store.m_mutex)
        : m_stmt(store.Prepare(sql)) {
        if (!m_stmt)
            m_rc = sqlite3_errcode(store.m_db) == SQLITE_OK ? SQLITE_ERROR
                                                            : sqlite3_extended_errcode(store.m_db);
    }
    ~Query() {
        if (m_stmt) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        }
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    void Int(int index, int64_t value) {
        if (m_stmt && m_rc == SQLITE_OK)
            m_rc = sqlite3_bind_int64(m_stmt, index, value);
    }
    void Text(int index, std::string_view text) {
        if (m_stmt && m_rc == SQLITE_OK)
            m_rc = sqlite3_bind_text64(m_stmt, index, text.data(), text.size(), SQLITE_TRANSIENT,
                                       SQLITE_UTF8);
    }
    void Blob(int index, const void* data, size_t len) {
        if (!m_stmt || m_rc != SQLITE_OK)
            return;
        // A null pointer would bind SQL NULL; an empty block is a zero-length blob.
        m_rc = (len == 0 || !data)
                   ? sqlite3_bind_zeroblob(m_stmt, index, 0)
                   : sqlite3_bind_blob64(m_stmt, index, data, len, SQLITE_TRANSIENT);
    }
    // A name bound as its case-folded form, the way the stores compare names.
    void FoldedName(int index, std::string_view name) {
        const std::string folded = Fold(name);
        Blob(index, folded.data(), folded.size());
    }
    // Steps to the one row the statement reads: Ok on a row, `noRow` when there is none, else
    // the error.
    [[nodiscard]] RegStatus Row(RegStatus noRow) {
        const int rc = Step();
        return rc == SQLITE_DONE ? noRow : FromSqlite(rc);
    }
    // SQLITE_ROW, SQLITE_DONE or the error.
    int Step() {
        if (!m_stmt || m_rc != SQLITE_OK)
            return m_rc;
        const int rc = sqlite3_step(m_stmt);
        return rc == SQLITE_ROW || rc == SQLITE_DONE
                   ? rc
                   : sqlite3_extended_errcode(sqlite3_db_handle(m_stmt));
    }
    bool IsNull(int col) const { return sqlite3_column_type(m_stmt, col) == SQLITE_NULL; }
    int64_t Int(int col) const { return sqlite3_column_int64(m_stmt, col); }
    std::string Text(int col) const {
        const auto* p = sqlite3_column_text(m_stmt, col);
        const int n = sqlite3_column_bytes(m_stmt, col);
        return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n))
                 : std::string();
    }
    void Blob(int col, std::vector<uint8_t>& out) const {
        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(m_stmt, col));
        const int n = sqlite3_column_bytes(m_stmt, col);
        out.assign(p, p ? p + n : p);
    }

private:
    sqlite3_stmt* m_stmt;
    int m_rc = SQLITE_OK;
};

// A transaction that rolls back unless committed. Writers take the write lock at once
// (BEGIN IMMEDIATE) so that the busy timeout applies instead of a deadlock error.
class RegistryStore::Transaction {
public:
    Transaction(sqlite3* db, bool write) : m_db(db) {
        m_rc = sqlite3_exec(db, write ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr, nullptr);
        m_open = m_rc == SQLITE_OK;
    }
    ~Transaction() {
        if (m_open)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    RegStatus Status() const { return FromSqlite(m_rc); }
    // Commits when `status` is Ok (otherwise the destructor rolls back); returns the outcome.
    RegStatus Finish(RegStatus status) {
        if (status != RegStatus::Ok || !m_open)
            return status;
        const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return FromSqlite(rc);
        m_open = false;
        return RegStatus::Ok;
    }

private:
    sqlite3* m_db;
    int m_rc;
    bool m_open;
};

RegistryStore::RegistryStore(Token, sqlite3* db) : m_db(db) {}

RegistryStore::~RegistryStore() {
    for (auto& entry : m_statements)
        sqlite3_finalize(entry.second);
    sqlite3_close_v2(m_db);
}

std::shared_ptr<RegistryStore> RegistryStore::Open(const std::string& file, RegStatus& status) {
    // Checking, creating and switching a new file to WAL are one step between processes: the
    // mode switch gives up at once ("database is locked") while another process holds the
    // file, and a file created between two checks would look foreign. Openers therefore take
    // turns on a lock file beside the database (its name plus ".lock", never deleted); handles
    // already open keep working meanwhile, under the busy timeout.
    const FileLock opening(file + ".lock", FileLock::Mode::Exclusive);
    if (!opening.IsLocked()) {
        status = RegStatus::BadStore;
        return nullptr;
    }
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(file.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        status = RegStatus::BadStore;
        return nullptr;
    }
    std::shared_ptr<RegistryStore> store = std::make_shared<RegistryStore>(Token{}, db);
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);

    bool isNew = false;
    {
        // Nobody else has the store yet; the lock is for the helpers' contract.
        MutexLock lock(store->m_mutex);
        status = store->Validate(isNew);
        if (status == RegStatus::Ok)
            status = store->Initialise(isNew);
    }
    if (status != RegStatus::Ok) {
        // A file we refuse must stay as it was: no checkpoint into it on close.
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        return nullptr;
    }
    return store;
}

sqlite3_stmt* RegistryStore::Prepare(const char* sql) {
    auto it = m_statements.find(sql);
    if (it != m_statements.end())
        return it->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    m_statements.emplace(sql, stmt);
    return stmt;
}

// Only reads: a file that is not a store of ours, or is damaged, is refused untouched.
RegStatus RegistryStore::Validate(bool& isNew) {
    int64_t appId = 0;
    int64_t tables = 0;
    {
        Query q(*this, kSqlMarks);
        if (const RegStatus status = q.Row(RegStatus::BadStore); status != RegStatus::Ok)
            return status;
        appId = q.Int(0);
        tables = q.Int(1);
    }
    isNew = appId == 0 && tables == 0;
    if (isNew)
        return RegStatus::Ok;
    if (appId != kApplicationId)
        return RegStatus::BadStore;
    {
        Query q(*this, kSqlUserVersion);
        if (q.Step() != SQLITE_ROW || q.Int(0) != kSchemaVersion)
            return RegStatus::BadStore;
    }
    Query q(*this, kSqlQuickCheck);
    if (q.Step() != SQLITE_ROW || q.Text(0) != "ok")
        return RegStatus::BadStore;
    return RegStatus::Ok;
}

RegStatus RegistryStore::Initialise(bool isNew) {
    // FULL: a commit is on disk before the call returns, so neither a killed process nor a
    // crashed machine loses a value whose call had returned.
    static const char* const kSettings[] = {
        "PRAGMA journal_mode = WAL", "PRAGMA synchronous = FULL", "PRAGMA foreign_keys = ON"};
    for (const char* sql : kSettings) {
        const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return FromSqlite(rc);
    }
    if (!isNew)
        return RegStatus::Ok;
    Transaction txn(m_db, true);
    if (txn.Status() != RegStatus::Ok)
        return txn.Status();
    // PRAGMA takes no parameters; the two numbers are our own constants.
    const std::string marks = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                              "; PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";";
    int rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(m_db, marks.c_str(), nullptr, nullptr, nullptr);
    return txn.Finish(FromSqlite(rc));
}

RegStatus RegistryStore::KeyExists(int64_t id) {
    Query q(*this, kSqlDepth);
    q.Int(1, id);
    return q.Row(RegStatus::KeyDeleted);
}

RegStatus RegistryStore::FindChild(int64_t parent, std::string_view name, int64_t& child) {
    Query q(*this, kSqlChild);
    q.Int(1, parent);
    q.FoldedName(2, name);
    if (const RegStatus status = q.Row(RegStatus::NotFound); status != RegStatus::Ok)
        return status;
    child = q.Int(0);
    return RegStatus::Ok;
}

// Follows `path` level by level from `from`; the walk ends with the path text.
RegStatus RegistryStore::Walk(int64_t from, const char* path, bool create, int64_t& id) {
    if (!path)
        return RegStatus::InvalidArg;
    int64_t depth = 0;
    {
        Query q(*this, kSqlDepth);
        q.Int(1, from);
        if (const RegStatus status = q.Row(RegStatus::KeyDeleted); status != RegStatus::Ok)
            return status;
        depth = q.Int(0);
    }
    id = from;
    const std::string_view rest(path);
    if (rest.empty())
        return RegStatus::Ok;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string_view::npos)
            end = rest.size();
        const std::string_view name = rest.substr(start, end - start);
        if (name.empty())
            return RegStatus::InvalidArg;
        int64_t child = 0;
        RegStatus status = FindChild(id, name, child);
        if (status == RegStatus::NotFound && create) {
            if (depth + 1 > kRegMaxDepth)
                return RegStatus::InvalidArg;
            Query q(*this, kSqlInsertKey);
            q.Int(1, id);
            q.Text(2, name);
            q.FoldedName(3, name);
            q.Int(4, depth + 1);
            status = FromSqlite(q.Step());
            child = sqlite3_last_insert_rowid(m_db);
        }
        if (status != RegStatus::Ok)
            return status;
        id = child;
        ++depth;
        start = end + 1;
    }
    return RegStatus::Ok;
}

RegStatus RegistryStore::OpenPath(int64_t from, const char* path, bool create, int64_t& id) {
    MutexLock lock(m_mutex);
    Transaction txn(m_db, create);
    if (txn.Status() != RegStatus::Ok)
        return txn.Status();
    return txn.Finish(Walk(from, path, create, id));
}

RegStatus RegistryStore::QueryInfo(int64_t id, uint32_t& subKeys, uint32_t& values) {
    MutexLock lock(m_mutex);
    Query q(*this, kSqlInfo);
    q.Int(1, id);
    if (const RegStatus status = q.Row(RegStatus::IoFailed); status != RegStatus::Ok)
        return status;
    if (q.Int(0) == 0)
        return RegStatus::KeyDeleted;
    subKeys = static_cast<uint32_t>(q.Int(1));
    values = static_cast<uint32_t>(q.Int(2));
    return RegStatus::Ok;
}

RegStatus RegistryStore::EnumName(const char* sql, int64_t id, uint32_t index, std::string& name) {
    MutexLock lock(m_mutex);
    Query q(*this, sql);
    q.Int(1, id);
    q.Int(2, index);
    if (const RegStatus status = q.Row(RegStatus::IoFailed); status != RegStatus::Ok)
        return status;
    if (q.Int(0) == 0)
        return RegStatus::KeyDeleted;
    if (q.IsNull(1))
        return RegStatus::NoMoreItems;
    name = q.Text(1);
    return RegStatus::Ok;
}

RegStatus RegistryStore::EnumSubKey(int64_t id, uint32_t index, std::string& name) {
    return EnumName(kSqlEnumKey, id, index, name);
}

RegStatus RegistryStore::EnumValue(int64_t id, uint32_t index, std::string& name) {
    return EnumName(kSqlEnumValue, id, index, name);
}

RegStatus RegistryStore::QueryValue(int64_t id, const char* name, uint32_t& type,
                                    std::vector<uint8_t>& data) {
    if (!name)
        return RegStatus::InvalidArg;
    MutexLock lock(m_mutex);
    Query q(*this, kSqlQueryValue);
    q.Int(1, id);
    q.FoldedName(2, name);
    if (const RegStatus status = q.Row(RegStatus::KeyDeleted); status != RegStatus::Ok)
        return status;
    if (q.IsNull(0))
        return RegStatus::NotFound;
    type = static_cast<uint32_t>(q.Int(0));
    q.Blob(1, data);
    return RegStatus::Ok;
}

RegStatus RegistryStore::SetValue(int64_t id, const char* name, uint32_t type, const void* data,
                                  size_t len) {
    if (!name || (!data && len != 0))
        return RegStatus::InvalidArg;
    MutexLock lock(m_mutex);
    Transaction txn(m_db, true);
    if (txn.Status() != RegStatus::Ok)
        return txn.Status();
    Query q(*this, kSqlSetValue);
    q.Int(1, id);
    q.Text(2, name);
    q.FoldedName(3, name);
    q.Int(4, type);
    q.Blob(5, data, len);
    return txn.Finish(FromSqlite(q.Step()));
}

RegStatus RegistryStore::DeleteValue(int64_t id, const char* name) {
    if (!name)
        return RegStatus::InvalidArg;
    MutexLock lock(m_mutex);
    Transaction txn(m_db, true);
    if (txn.Status() != RegStatus::Ok)
        return txn.Status();
    RegStatus status = KeyExists(id);
    if (status != RegStatus::Ok)
        return status;
    Query q(*this, kSqlDeleteValue);
    q.Int(1, id);
    q.FoldedName(2, name);
    status = FromSqlite(q.Step());
    if (status == RegStatus::Ok && sqlite3_changes(m_db) == 0)
        return RegStatus::NotFound;
    return txn.Finish(status);
}

RegStatus RegistryStore::DeleteSubKey(int64_t id, const char* path) {
    if (!path || !*path)
        return RegStatus::InvalidArg;
    MutexLock lock(m_mutex);
    Transaction txn(m_db, true);
    if (txn.Status() != RegStatus::Ok)
        return txn.Status();
    int64_t target = 0;
    RegStatus status = Walk(id, path, false, target);
    if (status != RegStatus::Ok)
        return status;
    {
        Query q(*this, kSqlHasChild);
        q.Int(1, target);
        const int rc = q.Step();
        if (rc != SQLITE_ROW)
            return FromSqlite(rc);
        if (q.Int(0) != 0)
            return RegStatus::HasSubKeys;
    }
    Query q(*this, kSqlDeleteKey);
    q.Int(1, target);
    return txn.Finish(FromSqlite(q.Step()));
}

} // namespace platform
