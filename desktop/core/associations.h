#pragma once

#include "xdgdirs.h"

#include <optional>
#include <string>
#include <vector>

namespace kamelo {
class SettingsStore;
}

namespace kamelo::desktop {

// What a change of the associations did; message is the Korean text for the
// user when ok is false.
struct AssociationResult {
    bool ok = true;
    std::string message;
};

// The program as the default application of the fourteen picture types:
// its desktop entry (the installed kamelo.desktop when the package put one in
// a system share/applications folder naming this program, else one written
// to $XDG_DATA_HOME/applications) and the defaults in the
// user's $XDG_CONFIG_HOME/mimeapps.list. The user's previous default of a
// type is kept in the settings store (section "FileExts\<ext>", value
// "Kamelo_bak") and put back on removal. Nothing is ever changed for a type
// whose default is another program's, except by associating it.
class Associations {
public:
    static constexpr const char* kBackupName = "Kamelo_bak";

    Associations(XdgDirs dirs, SettingsStore& store, std::string programPath);

    std::string userListPath() const { return dirs_.configHome + "/mimeapps.list"; }
    // The per-user entry a build-tree copy writes.
    std::string entryPath() const;
    // Where programs named without a '/' are looked up; $PATH by default.
    void setSearchPath(std::string path) { searchPath_ = std::move(path); }
    // The system entry of an installed copy: kamelo.desktop in a folder of
    // $XDG_DATA_DIRS whose Exec starts this very program; empty otherwise.
    std::string installedEntry() const;

    // The effective default desktop entry of a MIME type by the lookup order
    // of the MIME applications rules: the first listed default that is
    // installed, in the first list file that has one.
    std::optional<std::string> effectiveDefault(const std::string& mimeType) const;
    // Whether the row's type opens with this program.
    bool isOurs(int row) const;
    bool allOurs() const;
    // The default entry's command without field codes, for "현재 연결";
    // empty when there is none.
    std::string currentHandler(int row) const;

    // Makes the program the default of the row's types (and of the rows
    // sharing them); does nothing when it already is.
    AssociationResult associate(int row);
    // Gives the row's types back to the previous default; only when they
    // are the program's.
    AssociationResult remove(int row);

private:
    struct ListFile;
    bool loadList(const std::string& path, std::string& bytes, AssociationResult& result) const;
    bool writeList(const std::string& path, const std::string& bytes,
                   AssociationResult& result) const;
    // The running desktops' own lists in $XDG_CONFIG_HOME that exist: their
    // defaults come before mimeapps.list's, so they are changed alike.
    std::vector<std::string> desktopLists() const;
    // Sets (associate) or puts back (remove) the row's types in the
    // desktop lists; the previous values are kept per list.
    bool editDesktopLists(int row, bool associate, AssociationResult& result);
    bool installEntry(AssociationResult& result) const;
    std::optional<std::string> installedEntryPath(const std::string& desktopId) const;
    static std::string backupName(int typeIndex, const std::string& mimeType);

    XdgDirs dirs_;
    SettingsStore& store_;
    std::string programPath_;
    std::string searchPath_;
};

} // namespace kamelo::desktop
