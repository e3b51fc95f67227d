#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace kamelo {

// Value types carry the registry's own type numbers, so that other tools that
// read the database see the familiar REG_SZ / REG_BINARY / REG_DWORD codes.
enum class SettingType : int { String = 1, Binary = 3, Int32 = 4 };

struct SettingEntry {
    std::string key;  // full key path, e.g. Software\Halvern\Kamelo\General
    std::string name; // value name
    SettingType type = SettingType::String;
    int32_t intValue = 0;
    std::string stringValue;
    std::vector<uint8_t> binaryValue;

    bool operator==(const SettingEntry&) const = default;
};

// How the database could be opened. Anything but Ok is reported once to the
// user by the application; the store keeps working in every case.
enum class StoreOpenStatus {
    Ok,
    RecoveredFromDamage, // damaged file moved aside, a fresh one created
    ReadOnly,            // values readable, changes are not kept
    InMemoryOnly,        // database unusable, defaults held in memory for this run
};

// Registry-like settings store over one SQLite database. Keys are
// backslash-separated paths below a root ("Software\Halvern\Kamelo"); sections
// are sub-keys of the root. Key and value names are matched without regard to
// (ASCII) case. Every write is its own transaction, so two running copies of the
// program never lose each other's values.
class SettingsStore {
public:
    static constexpr const char* kRootKey = "Software\\Halvern\\Kamelo";

    // How long a statement waits for another copy of the program to let go
    // of the database.
    static constexpr int kDefaultBusyTimeoutMs = 10000;

    // Opens or creates the database at dbPath (parent folders are created).
    explicit SettingsStore(const std::string& dbPath, int busyTimeoutMs = kDefaultBusyTimeoutMs);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // $XDG_CONFIG_HOME/Halvern/Kamelo.sqlite, with ~/.config as the fallback.
    static std::string defaultPath();

    StoreOpenStatus openStatus() const { return status_; }
    // InMemoryOnly because another program held the database locked all the
    // time the store waited for it: the file is not damaged and was left as
    // it is.
    bool lockedAtOpen() const { return lockedAtOpen_; }
    // After a lock at open: tries the file again, waiting up to waitMs for
    // the lock to go. On success the store works on the file from then on;
    // what was written to the in-memory store meanwhile is dropped.
    bool reopen(int waitMs);
    // How long a statement waits for another program's lock.
    void setBusyTimeout(int ms);

    // Values that could not be written because another program held the
    // database (or the disk failed), in the order they were written, each
    // key and name once. Reads see them; they are stored by flushUnsaved(),
    // and later writes try again without waiting.
    const std::vector<SettingEntry>& unsavedWrites() const { return unsaved_; }
    // Stores the unsaved values in one transaction, waiting up to waitMs for
    // a lock; true when nothing is left unsaved.
    bool flushUnsaved(int waitMs);
    // Where a damaged database was moved to (RecoveredFromDamage only).
    const std::string& damagedCopyPath() const { return damagedCopy_; }
    const std::string& path() const { return path_; }

    // Full key path of a section below the root.
    static std::string sectionKey(const std::string& section);

    // Section-relative access, the form every part of the program uses.
    int32_t getInt(const std::string& section, const std::string& name, int32_t def) const;
    std::string getString(const std::string& section, const std::string& name,
                          const std::string& def) const;
    std::optional<std::vector<uint8_t>> getBinary(const std::string& section,
                                                  const std::string& name) const;
    bool setInt(const std::string& section, const std::string& name, int32_t value);
    bool setString(const std::string& section, const std::string& name, const std::string& value);
    bool setBinary(const std::string& section, const std::string& name,
                   const std::vector<uint8_t>& value);
    bool deleteValue(const std::string& section, const std::string& name);
    // Deletes the section's key with all its values and sub-keys.
    bool deleteSection(const std::string& section);

    // Full-path access.
    std::optional<SettingEntry> entry(const std::string& keyPath, const std::string& name) const;
    bool write(const SettingEntry& e);
    bool remove(const std::string& keyPath, const std::string& name);
    bool removeKey(const std::string& keyPath);
    // All values of one key (not its sub-keys), or of the whole store when empty.
    std::vector<SettingEntry> entries(const std::string& keyPath = {}) const;

    // Groups several writes into one transaction; ends with commit() or, when
    // destroyed without it, rolls back.
    class Batch {
    public:
        explicit Batch(SettingsStore& store);
        ~Batch();
        bool commit();

    private:
        SettingsStore& store_;
        bool open_ = false;
    };

private:
    enum class OpenResult { Ok, Damaged, Locked, Failed };
    OpenResult openDatabase(const std::string& file);
    OpenResult checkSchema() const;
    void closeDatabase();
    bool exec(const char* sql) const;
    int writeRow(const SettingEntry& e);
    void keepUnsaved(const SettingEntry& e);
    void forgetUnsaved(const std::string& keyPath, const std::string* name);
    bool beginBatch();
    bool commitBatch();
    void rollbackBatch();

    std::string path_;
    std::string damagedCopy_;
    StoreOpenStatus status_ = StoreOpenStatus::Ok;
    bool lockedAtOpen_ = false;
    sqlite3* db_ = nullptr;
    int busyTimeoutMs_;
    // Another program held the lock at the last try: do not wait for it on
    // every single write.
    bool blocked_ = false;
    std::vector<SettingEntry> unsaved_;
    bool inBatch_ = false;
    std::vector<SettingEntry> batchWrites_;
};

} // namespace kamelo
