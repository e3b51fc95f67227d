#include "renamejournal.h"

#include "platform/core/fileops.h"
#include "resources/stringtable.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <optional>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kamelo {

namespace {

constexpr const char* kMagic = "kamelo-rename-journal 1\n";
// A journal of the largest selection is far below this; a bigger file under
// the name is not ours and is never read whole.
constexpr off_t kMaxJournal = off_t(64) << 20;

std::string dirOf(const std::string& folder) {
    return folder.empty() ? std::string(".") : folder;
}

std::string join(const std::string& folder, const std::string& name) {
    const std::string dir = dirOf(folder);
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

uint64_t fnv1a(const std::string& s) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

int syncFolder(const std::string& folder) {
    const int fd = ::open(dirOf(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int rc = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return rc;
}

int writeAll(int fd, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        const ssize_t n = ::write(fd, s.data() + done, s.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += size_t(n);
    }
    return 0;
}

struct Step {
    uint64_t device = 0;
    uint64_t inode = 0;
    std::string from; // names in the journal's folder
    std::string to;
};

std::string encode(const std::vector<Step>& steps) {
    std::string s = kMagic + std::to_string(steps.size()) + "\n";
    for (const Step& st : steps)
        s += std::to_string(st.device) + " " + std::to_string(st.inode) + " " +
             std::to_string(st.from.size()) + " " + std::to_string(st.to.size()) + "\n" + st.from +
             "\n" + st.to + "\n";
    return s + "end " + std::to_string(fnv1a(s)) + "\n";
}

// Reads a decimal number ending in `end` at pos.
bool number(const std::string& s, size_t& pos, char end, uint64_t& out) {
    const size_t start = pos;
    out = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && pos - start < 20)
        out = out * 10 + uint64_t(s[pos++] - '0');
    if (pos == start || pos >= s.size() || s[pos] != end)
        return false;
    ++pos;
    return true;
}

bool plainName(const std::string& n) {
    return !n.empty() && n != "." && n != ".." && n.find('/') == std::string::npos &&
           n.find('\0') == std::string::npos;
}

bool decode(const std::string& s, std::vector<Step>& steps) {
    const std::string magic = kMagic;
    const size_t endAt = s.rfind("end ");
    if (s.compare(0, magic.size(), magic) != 0 || endAt == std::string::npos)
        return false;
    size_t pos = endAt + 4;
    uint64_t sum = 0;
    if (!number(s, pos, '\n', sum) || pos != s.size() || sum != fnv1a(s.substr(0, endAt)))
        return false;
    pos = magic.size();
    uint64_t count = 0;
    if (!number(s, pos, '\n', count) || count > uint64_t(s.size()))
        return false;
    for (uint64_t i = 0; i < count; ++i) {
        Step st;
        uint64_t fromSize = 0, toSize = 0;
        if (!number(s, pos, ' ', st.device) || !number(s, pos, ' ', st.inode) ||
            !number(s, pos, ' ', fromSize) || !number(s, pos, '\n', toSize))
            return false;
        if (pos > endAt || fromSize + toSize + 2 > endAt - pos)
            return false;
        st.from = s.substr(pos, fromSize);
        pos += fromSize;
        if (s[pos++] != '\n')
            return false;
        st.to = s.substr(pos, toSize);
        pos += toSize;
        if (s[pos++] != '\n' || !plainName(st.from) || !plainName(st.to))
            return false;
        steps.push_back(std::move(st));
    }
    return pos == endAt;
}

std::optional<std::pair<uint64_t, uint64_t>> fileAt(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return std::nullopt;
    return std::make_pair(uint64_t(st.st_dev), uint64_t(st.st_ino));
}

// Puts a locked journal of steps in folder; the descriptor holding the lock.
int place(const std::string& folder, const std::vector<Step>& steps, int& fdOut) {
    std::string temp = join(folder, ".kamelo-rename-journal-XXXXXX");
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int rc = ::flock(fd, LOCK_EX) == 0 ? 0 : errno;
    if (rc == 0)
        rc = writeAll(fd, encode(steps));
    if (rc == 0 && ::fsync(fd) != 0)
        rc = errno;
    if (rc == 0)
        rc = FileOps::rename(temp, join(folder, RenameJournal::kFileName)).code;
    if (rc == 0)
        rc = syncFolder(folder);
    if (rc != 0) {
        // Gone under either name: only a journal that is whole and on the
        // disk may stand before the first rename.
        if (::unlink(temp.c_str()) != 0) {
            struct stat mine {};
            struct stat named {};
            const std::string journal = join(folder, RenameJournal::kFileName);
            if (::fstat(fd, &mine) == 0 && ::lstat(journal.c_str(), &named) == 0 &&
                mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
                ::unlink(journal.c_str());
        }
        ::close(fd);
        return rc;
    }
    fdOut = fd;
    return 0;
}

long stopAfter() {
    const char* v = std::getenv(RenameJournal::kStopAfterVariable);
    if (!v || !*v)
        return -1;
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    return *end == '\0' && n >= 0 ? n : -1;
}

} // namespace

RenameJournal::Recovery RenameJournal::recover(const std::string& folder) {
    Recovery r;
    const std::string path = join(folder, kFileName);
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0)
        return r;
    if (!S_ISREG(named.st_mode) || named.st_size > kMaxJournal) {
        r.error = EINVAL;
        return r;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        r.error = errno;
        return r;
    }
    struct stat opened {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        r.busy = errno == EWOULDBLOCK;
        r.error = r.busy ? 0 : errno;
        ::close(fd);
        return r;
    }
    // Another program may have settled it between the look and the lock.
    if (::fstat(fd, &opened) != 0 || ::lstat(path.c_str(), &named) != 0 ||
        opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
        ::close(fd);
        return r;
    }
    std::string text(size_t(std::min<off_t>(opened.st_size, kMaxJournal)), '\0');
    size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    std::vector<Step> steps;
    if (got != text.size() || !decode(text, steps)) {
        r.error = EINVAL;
        ::close(fd);
        return r;
    }
    r.found = true;
    std::set<std::pair<uint64_t, uint64_t>> restored;
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        const std::string from = join(folder, it->from), to = join(folder, it->to);
        const auto file = std::make_pair(it->device, it->inode);
        // Done exactly when the file stands under the new name and the old
        // one is free: later steps are already undone.
        if (fileAt(to) != file)
            continue;
        if (!fileAt(from) && FileOps::rename(to, from).code == 0)
            restored.insert(file);
        else
            r.stranded.push_back({to, from});
    }
    // A file that went through a temporary name and came back counts once.
    for (const auto& [now, was] : r.stranded)
        if (const auto f = fileAt(now))
            restored.erase(*f);
    r.undone = int(restored.size());
    syncFolder(folder);
    if (::unlink(path.c_str()) != 0)
        r.error = errno;
    syncFolder(folder);
    ::close(fd);
    return r;
}

std::string RenameJournal::notice(const std::string& folder, const Recovery& r) {
    if (!r.found || (r.undone == 0 && r.stranded.empty()))
        return {};
    std::string text = res::format(res::IDS_RENAME_JOURNAL_UNDONE, dirOf(folder).c_str(), r.undone);
    for (const auto& [now, was] : r.stranded)
        text += "\n" + res::format(res::IDS_RENAME_STRANDED, RenamePlan::nameOf(was).c_str(),
                                   RenamePlan::nameOf(now).c_str());
    return text;
}

RenameJournal::Result RenameJournal::apply(const RenamePlan& plan) {
    Result result;
    if (plan.firstProblem() >= 0 || plan.steps().empty()) {
        result.outcome = plan.apply();
        return result;
    }
    // Each folder's steps, in plan order; renames never leave their folder.
    std::vector<std::string> order;
    std::map<std::string, std::vector<Step>> byFolder;
    std::map<std::string, size_t> firstRow;
    for (const RenamePlan::Step& s : plan.steps()) {
        const std::string folder = RenamePlan::folderOf(s.from);
        const RenamePlan::Row& row = plan.rows()[s.row];
        auto [it, added] = byFolder.try_emplace(folder);
        if (added) {
            order.push_back(folder);
            firstRow[folder] = s.row;
        }
        it->second.push_back({row.file.device, row.file.inode, RenamePlan::nameOf(s.from),
                              RenamePlan::nameOf(s.to)});
    }
    std::vector<std::pair<std::string, int>> held;
    auto release = [&held] {
        for (const auto& [folder, fd] : held) {
            syncFolder(folder);
            ::unlink(join(folder, kFileName).c_str());
            syncFolder(folder);
            ::close(fd);
        }
    };
    for (const std::string& folder : order) {
        int fd = -1;
        if (const int rc = place(folder, byFolder[folder], fd)) {
            release();
            result.journalError = rc;
            result.journalFolder = dirOf(folder);
            result.outcome.ok = false;
            result.outcome.row = firstRow[folder];
            result.outcome.error = rc;
            return result;
        }
        held.push_back({folder, fd});
    }
    const long stopAt = stopAfter();
    if (stopAt == 0)
        ::raise(SIGSTOP);
    result.outcome = plan.apply([stopAt](size_t done) {
        if (stopAt > 0 && done == size_t(stopAt))
            ::raise(SIGSTOP);
    });
    // The new names are on the disk before the journals go, and the
    // journals are gone before anyone is told.
    release();
    return result;
}

std::string RenameJournal::refusal(const Result& r, const std::string& reason) {
    if (r.journalError == 0)
        return {};
    if (r.journalError == EEXIST)
        return res::format(res::IDS_RENAME_JOURNAL_BUSY, r.journalFolder.c_str());
    return res::format(res::IDS_RENAME_JOURNAL_FAILED, r.journalFolder.c_str(), reason.c_str());
}

} // namespace kamelo
