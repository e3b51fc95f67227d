#include "settingsstore.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace kamelo {

namespace {

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS registry(key TEXT NOT NULL COLLATE NOCASE, "
    "name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, value BLOB, "
    "PRIMARY KEY(key, name))";

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (db)
            sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }
    void bind(int i, const std::string& s) {
        sqlite3_bind_text(stmt_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    void bindInt(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
    void bindBlob(int i, const std::vector<uint8_t>& v) {
        // A zero-length blob must still be a blob, not NULL.
        static const uint8_t empty = 0;
        sqlite3_bind_blob(stmt_, i, v.empty() ? &empty : v.data(), static_cast<int>(v.size()),
                          SQLITE_TRANSIENT);
    }
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

SettingEntry readRow(sqlite3_stmt* st) {
    SettingEntry e;
    e.key = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    e.name = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    e.type = static_cast<SettingType>(sqlite3_column_int(st, 2));
    switch (e.type) {
    case SettingType::Int32:
        e.intValue = static_cast<int32_t>(sqlite3_column_int64(st, 3));
        break;
    case SettingType::String: {
        const unsigned char* t = sqlite3_column_text(st, 3);
        e.stringValue = t ? reinterpret_cast<const char*>(t) : "";
        break;
    }
    default: {
        const void* b = sqlite3_column_blob(st, 3);
        int n = sqlite3_column_bytes(st, 3);
        if (b && n > 0)
            e.binaryValue.assign(static_cast<const uint8_t*>(b),
                                 static_cast<const uint8_t*>(b) + n);
        break;
    }
    }
    return e;
}

bool isDamageCode(int rc) {
    int primary = rc & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// Another connection holds the database: nothing is wrong with the file.
bool isLockCode(int rc) {
    int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// A write that failed for a reason that may pass: worth keeping for later.
bool isPassingCode(int rc) {
    int primary = rc & 0xff;
    return isLockCode(rc) || primary == SQLITE_FULL || primary == SQLITE_IOERR;
}

bool sameName(const std::string& a, const std::string& b) {
    return sqlite3_stricmp(a.c_str(), b.c_str()) == 0;
}

std::string timestamp() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

} // namespace

SettingsStore::SettingsStore(const std::string& dbPath, int busyTimeoutMs)
    : path_(dbPath), busyTimeoutMs_(busyTimeoutMs) {
    std::error_code ec;
    fs::path p(dbPath);
    if (p.has_parent_path())
        fs::create_directories(p.parent_path(), ec);

    const OpenResult result = openDatabase(dbPath);
    if (result == OpenResult::Ok) {
        if (sqlite3_db_readonly(db_, "main") == 1)
            status_ = StoreOpenStatus::ReadOnly;
        return;
    }
    closeDatabase();
    // A locked file is in use, not damaged: it stays where it is.
    lockedAtOpen_ = result == OpenResult::Locked;
    if (result == OpenResult::Damaged) {
        // Keep the damaged file for the user instead of deleting it.
        std::string aside = dbPath + ".damaged-" + timestamp();
        fs::rename(dbPath, aside, ec);
        if (!ec) {
            damagedCopy_ = aside;
            fs::remove(dbPath + "-journal", ec);
            if (openDatabase(dbPath) == OpenResult::Ok) {
                status_ = StoreOpenStatus::RecoveredFromDamage;
                return;
            }
            closeDatabase();
        }
    }
    status_ = StoreOpenStatus::InMemoryOnly;
    openDatabase(":memory:");
}

bool SettingsStore::reopen(int waitMs) {
    if (!lockedAtOpen_)
        return status_ != StoreOpenStatus::InMemoryOnly;
    sqlite3* memory = db_;
    db_ = nullptr;
    const int usual = busyTimeoutMs_;
    busyTimeoutMs_ = waitMs;
    const OpenResult result = openDatabase(path_);
    busyTimeoutMs_ = usual;
    if (result != OpenResult::Ok) {
        closeDatabase();
        db_ = memory;
        return false;
    }
    sqlite3_close_v2(memory);
    sqlite3_busy_timeout(db_, busyTimeoutMs_);
    status_ =
        sqlite3_db_readonly(db_, "main") == 1 ? StoreOpenStatus::ReadOnly : StoreOpenStatus::Ok;
    lockedAtOpen_ = false;
    return true;
}

void SettingsStore::setBusyTimeout(int ms) {
    busyTimeoutMs_ = ms;
    if (db_)
        sqlite3_busy_timeout(db_, ms);
}

SettingsStore::~SettingsStore() {
    closeDatabase();
}

void SettingsStore::closeDatabase() {
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool SettingsStore::exec(const char* sql) const {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

SettingsStore::OpenResult SettingsStore::openDatabase(const std::string& file) {
    int rc = sqlite3_open_v2(file.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    if (rc != SQLITE_OK)
        return OpenResult::Failed;
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs_);
    const auto failure = [](int code) {
        return isDamageCode(code) ? OpenResult::Damaged
               : isLockCode(code) ? OpenResult::Locked
                                  : OpenResult::Failed;
    };

    // quick_check reads every page, so a damaged file is found now rather than
    // on some later write.
    {
        Statement check(db_, "PRAGMA quick_check");
        if (!check.ok())
            return failure(sqlite3_errcode(db_));
        rc = check.step();
        if (rc != SQLITE_ROW)
            return failure(rc);
        const unsigned char* verdict = sqlite3_column_text(check.get(), 0);
        if (!verdict || std::string(reinterpret_cast<const char*>(verdict)) != "ok")
            return OpenResult::Damaged;
    }
    if (sqlite3_db_readonly(db_, "main") != 1) {
        rc = sqlite3_exec(db_, kCreateTable, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return failure(rc);
    }
    // A table of the same name with other columns is not ours to interpret.
    return checkSchema();
}

SettingsStore::OpenResult SettingsStore::checkSchema() const {
    Statement st(db_, "PRAGMA table_info(registry)");
    if (!st.ok())
        return isLockCode(sqlite3_errcode(db_)) ? OpenResult::Locked : OpenResult::Damaged;
    const char* expected[] = {"key", "name", "type", "value"};
    int n = 0;
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
        const unsigned char* col = sqlite3_column_text(st.get(), 1);
        if (n >= 4 || !col || sqlite3_stricmp(reinterpret_cast<const char*>(col), expected[n]) != 0)
            return OpenResult::Damaged;
        ++n;
    }
    if (isLockCode(rc))
        return OpenResult::Locked;
    return n == 4 ? OpenResult::Ok : OpenResult::Damaged;
}

std::string SettingsStore::defaultPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    fs::path base;
    if (xdg && *xdg && fs::path(xdg).is_absolute()) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home && *home ? home : "/tmp") / ".config";
    }
    return (base / "Halvern" / "Kamelo.sqlite").string();
}

std::string SettingsStore::sectionKey(const std::string& section) {
    return std::string(kRootKey) + "\\" + section;
}

std::optional<SettingEntry> SettingsStore::entry(const std::string& keyPath,
                                                 const std::string& name) const {
    for (const SettingEntry& e : unsaved_)
        if (sameName(e.key, keyPath) && sameName(e.name, name))
            return e;
    Statement st(db_, "SELECT key, name, type, value FROM registry WHERE key = ?1 AND name = ?2");
    if (!st.ok())
        return std::nullopt;
    st.bind(1, keyPath);
    st.bind(2, name);
    if (st.step() != SQLITE_ROW)
        return std::nullopt;
    return readRow(st.get());
}

bool SettingsStore::write(const SettingEntry& e) {
    if (blocked_ && !inBatch_) {
        // Another program held the database a moment ago: one quick try for
        // this value and those kept before it, no waiting on each write.
        keepUnsaved(e);
        return flushUnsaved(0);
    }
    const int rc = writeRow(e);
    if (rc == SQLITE_DONE) {
        if (inBatch_)
            batchWrites_.push_back(e);
        return true;
    }
    if (isPassingCode(rc))
        keepUnsaved(e);
    if (isLockCode(rc))
        blocked_ = true;
    return false;
}

void SettingsStore::keepUnsaved(const SettingEntry& e) {
    for (SettingEntry& kept : unsaved_)
        if (sameName(kept.key, e.key) && sameName(kept.name, e.name)) {
            kept = e;
            return;
        }
    unsaved_.push_back(e);
}

void SettingsStore::forgetUnsaved(const std::string& keyPath, const std::string* name) {
    std::erase_if(unsaved_, [&](const SettingEntry& e) {
        if (name)
            return sameName(e.key, keyPath) && sameName(e.name, *name);
        return sameName(e.key, keyPath) ||
               (e.key.size() > keyPath.size() && e.key[keyPath.size()] == '\\' &&
                sameName(e.key.substr(0, keyPath.size()), keyPath));
    });
}

bool SettingsStore::flushUnsaved(int waitMs) {
    if (unsaved_.empty()) {
        blocked_ = false;
        return true;
    }
    if (!db_ || inBatch_)
        return false;
    sqlite3_busy_timeout(db_, waitMs);
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    const bool began = rc == SQLITE_OK;
    for (size_t i = 0; rc == SQLITE_OK && i < unsaved_.size(); ++i) {
        rc = writeRow(unsaved_[i]);
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK && began)
        exec("ROLLBACK");
    sqlite3_busy_timeout(db_, busyTimeoutMs_);
    blocked_ = rc != SQLITE_OK && isLockCode(rc);
    if (rc != SQLITE_OK)
        return false;
    unsaved_.clear();
    return true;
}

int SettingsStore::writeRow(const SettingEntry& e) {
    // ON CONFLICT keeps the spelling of an existing key, as the registry does.
    Statement st(db_, "INSERT INTO registry(key, name, type, value) VALUES(?1, ?2, ?3, ?4) "
                      "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, "
                      "value = excluded.value");
    if (!st.ok())
        return sqlite3_errcode(db_) != SQLITE_OK ? sqlite3_errcode(db_) : SQLITE_ERROR;
    st.bind(1, e.key);
    st.bind(2, e.name);
    st.bindInt(3, static_cast<int>(e.type));
    switch (e.type) {
    case SettingType::Int32:
        st.bindInt(4, e.intValue);
        break;
    case SettingType::String:
        st.bind(4, e.stringValue);
        break;
    case SettingType::Binary:
        st.bindBlob(4, e.binaryValue);
        break;
    }
    return st.step();
}

bool SettingsStore::remove(const std::string& keyPath, const std::string& name) {
    forgetUnsaved(keyPath, &name);
    Statement st(db_, "DELETE FROM registry WHERE key = ?1 AND name = ?2");
    if (!st.ok())
        return false;
    st.bind(1, keyPath);
    st.bind(2, name);
    return st.step() == SQLITE_DONE && sqlite3_changes(db_) > 0;
}

bool SettingsStore::removeKey(const std::string& keyPath) {
    forgetUnsaved(keyPath, nullptr);
    // The prefix compare avoids LIKE, whose wildcards could appear in key names.
    Statement st(db_, "DELETE FROM registry WHERE key = ?1 OR "
                      "(length(key) > length(?2) AND substr(key, 1, length(?2)) = ?2 "
                      "COLLATE NOCASE)");
    if (!st.ok())
        return false;
    st.bind(1, keyPath);
    st.bind(2, keyPath + "\\");
    return st.step() == SQLITE_DONE;
}

std::vector<SettingEntry> SettingsStore::entries(const std::string& keyPath) const {
    std::vector<SettingEntry> out;
    Statement st(db_, keyPath.empty() ? "SELECT key, name, type, value FROM registry "
                                        "ORDER BY key COLLATE NOCASE, name COLLATE NOCASE"
                                      : "SELECT key, name, type, value FROM registry "
                                        "WHERE key = ?1 ORDER BY name COLLATE NOCASE");
    if (!st.ok())
        return out;
    if (!keyPath.empty())
        st.bind(1, keyPath);
    while (st.step() == SQLITE_ROW)
        out.push_back(readRow(st.get()));
    return out;
}

int32_t SettingsStore::getInt(const std::string& section, const std::string& name,
                              int32_t def) const {
    auto e = entry(sectionKey(section), name);
    // A value of another type reads as missing, as with the registry.
    if (!e || e->type != SettingType::Int32)
        return def;
    return e->intValue;
}

std::string SettingsStore::getString(const std::string& section, const std::string& name,
                                     const std::string& def) const {
    auto e = entry(sectionKey(section), name);
    if (!e || e->type != SettingType::String)
        return def;
    return e->stringValue;
}

std::optional<std::vector<uint8_t>> SettingsStore::getBinary(const std::string& section,
                                                             const std::string& name) const {
    auto e = entry(sectionKey(section), name);
    if (!e || e->type != SettingType::Binary)
        return std::nullopt;
    return e->binaryValue;
}

bool SettingsStore::setInt(const std::string& section, const std::string& name, int32_t value) {
    SettingEntry e;
    e.key = sectionKey(section);
    e.name = name;
    e.type = SettingType::Int32;
    e.intValue = value;
    return write(e);
}

bool SettingsStore::setString(const std::string& section, const std::string& name,
                              const std::string& value) {
    SettingEntry e;
    e.key = sectionKey(section);
    e.name = name;
    e.type = SettingType::String;
    e.stringValue = value;
    return write(e);
}

bool SettingsStore::setBinary(const std::string& section, const std::string& name,
                              const std::vector<uint8_t>& value) {
    SettingEntry e;
    e.key = sectionKey(section);
    e.name = name;
    e.type = SettingType::Binary;
    e.binaryValue = value;
    return write(e);
}

bool SettingsStore::deleteValue(const std::string& section, const std::string& name) {
    return remove(sectionKey(section), name);
}

bool SettingsStore::deleteSection(const std::string& section) {
    return removeKey(sectionKey(section));
}

SettingsStore::Batch::Batch(SettingsStore& store) : store_(store) {
    open_ = store_.beginBatch();
}

SettingsStore::Batch::~Batch() {
    if (open_)
        store_.rollbackBatch();
}

bool SettingsStore::Batch::commit() {
    if (!open_)
        return false;
    open_ = false;
    return store_.commitBatch();
}

bool SettingsStore::beginBatch() {
    // Blocked a moment ago: the writes each try once instead of waiting here.
    if (blocked_ || !db_)
        return false;
    // IMMEDIATE takes the write lock up front, so two copies never deadlock
    // upgrading a read lock.
    const int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        blocked_ = isLockCode(rc);
        return false;
    }
    inBatch_ = true;
    batchWrites_.clear();
    return true;
}

bool SettingsStore::commitBatch() {
    inBatch_ = false;
    const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        exec("ROLLBACK");
        // Nothing of the batch was stored: keep it when the reason may pass.
        if (isPassingCode(rc))
            for (const SettingEntry& e : batchWrites_)
                keepUnsaved(e);
        blocked_ = isLockCode(rc);
    }
    batchWrites_.clear();
    return rc == SQLITE_OK;
}

void SettingsStore::rollbackBatch() {
    inBatch_ = false;
    batchWrites_.clear();
    exec("ROLLBACK");
}

} // namespace kamelo
