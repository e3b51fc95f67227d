#pragma once

#include <sqlite3.h>

#include <string>

namespace kamelo::test {

// Another program's exclusive lock on the settings database: nobody else
// may read or write until it is released.
class SettingsLocker {
public:
    explicit SettingsLocker(const std::string& path) {
        sqlite3_open(path.c_str(), &db_);
        locked_ = sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~SettingsLocker() { release(); }
    SettingsLocker(const SettingsLocker&) = delete;
    SettingsLocker& operator=(const SettingsLocker&) = delete;
    bool locked() const { return locked_; }
    void release() {
        if (db_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(db_);
        }
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
    bool locked_ = false;
};

} // namespace kamelo::test
