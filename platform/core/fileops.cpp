#include "fileops.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kamelo {

namespace {

using Error = FileOps::Error;

Error fail(const std::string& path, int code = errno) {
    return {code ? code : EIO, path};
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string normal(const std::string& p) {
    std::string s = fs::absolute(fs::path(p)).lexically_normal().string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

uint64_t sizeOf(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(path, ec))) {
        uint64_t total = 0;
        for (auto it = fs::recursive_directory_iterator(path, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->is_regular_file(ec))
                total += it->file_size(ec);
        return total;
    }
    const auto n = fs::file_size(path, ec);
    return ec ? 0 : n;
}

int renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: check, then rename.
    if (::access(to.c_str(), F_OK) == 0)
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool sameStat(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether both names are one entry on disk (hard links), links not followed.
bool sameEntry(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && sameStat(sa, sb);
}

// Whether inner lies in folder once every link on both paths is followed.
bool isInsideReally(const std::string& inner, const std::string& folder) {
    std::error_code ec, ec2;
    const fs::path a = fs::weakly_canonical(inner, ec), b = fs::weakly_canonical(folder, ec2);
    return !ec && !ec2 && FileOps::isInside(a.string(), b.string());
}

class Copier {
public:
    Copier(const FileOps::Callbacks& cb, uint64_t total, bool move)
        : cb_(cb), total_(total), move_(move) {}

    bool cancelled() const { return cancelled_; }
    const std::vector<std::string>& specialFiles() const { return special_; }
    // The folder given to copyAny next; nothing is ever written inside it.
    void setRoot(const std::string& folder) { root_ = folder; }

    // Copies a file or folder to target (target's folder exists). kept is
    // set when anything of from was left where it is, so that a move must
    // not delete it.
    Error copyAny(const std::string& from, const std::string& target,
                  std::vector<std::string>& done, bool& kept) {
        kept = false;
        if (!report())
            return {};
        struct stat st {};
        if (::lstat(from.c_str(), &st) != 0)
            return fail(from);
        if (S_ISDIR(st.st_mode))
            return copyFolder(from, st, target, done, kept);
        if (S_ISLNK(st.st_mode)) {
            std::error_code ec;
            const fs::path link = fs::read_symlink(from, ec);
            if (ec)
                return fail(from, ec.value());
            fs::create_symlink(link, target, ec);
            return ec ? fail(target, ec.value()) : Error{};
        }
        if (!S_ISREG(st.st_mode))
            return leaveSpecial(from, kept);
        return copyRegular(from, st, target, done, kept);
    }

    bool report() {
        if (cb_.progress && !cb_.progress(done_, total_))
            cancelled_ = true;
        return !cancelled_;
    }

private:
    // FIFOs, sockets and devices have no contents to copy, and opening one
    // can wait forever for a writer.
    Error leaveSpecial(const std::string& from, bool& kept) {
        special_.push_back(from);
        kept = true;
        return {};
    }

    Error copyFolder(const std::string& from, const struct stat& st, const std::string& target,
                     std::vector<std::string>& done, bool& kept) {
        std::string to = target;
        struct stat there {};
        if (::stat(to.c_str(), &there) == 0) {
            if (sameStat(st, there)) {
                // The folder itself under another path (a link).
                if (move_) {
                    kept = true;
                    return {};
                }
                to = FileOps::copyName(target);
            } else if (!S_ISDIR(there.st_mode)) {
                return fail(target, EEXIST);
            }
        } else if (::lstat(to.c_str(), &there) == 0) {
            return fail(target, EEXIST); // a link to nowhere
        }
        // A link in the target may lead back into the source: never write
        // there. Copying a folder into itself would never end, and a move
        // would delete what it wrote together with its source.
        if (!root_.empty() && isInsideReally(to, root_)) {
            kept = true;
            return {};
        }
        if (::stat(to.c_str(), &there) != 0 && ::mkdir(to.c_str(), 0777) != 0)
            return fail(to);
        bool anyKept = false;
        std::error_code ec;
        for (auto it = fs::directory_iterator(from, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            bool childKept = false;
            const Error e = copyAny(it->path().string(),
                                    joinPath(to, it->path().filename().string()), done, childKept);
            if (e || cancelled_)
                return e;
            anyKept |= childKept;
        }
        if (ec)
            return fail(from, ec.value());
        kept = anyKept;
        return {};
    }

    Error copyRegular(const std::string& from, const struct stat& st, const std::string& target,
                      std::vector<std::string>& done, bool& kept) {
        std::string to = target;
        bool replace = false;
        struct stat there {};
        if (::lstat(to.c_str(), &there) == 0) {
            struct stat followed {};
            if (::stat(to.c_str(), &followed) == 0 && sameStat(st, followed)) {
                // The file itself under another name (a link): a move has
                // nothing to do, a copy gets a name of its own.
                if (move_) {
                    kept = true;
                    return {};
                }
                to = FileOps::copyName(target);
            } else {
                const FileOps::Clash answer = cb_.clash ? cb_.clash(to) : FileOps::Clash::Skip;
                if (answer == FileOps::Clash::Cancel) {
                    cancelled_ = true;
                    return {};
                }
                if (answer == FileOps::Clash::Skip) {
                    kept = true;
                    return {};
                }
                replace = true;
            }
        }
        bool special = false;
        const Error e = copyFile(from, to, replace, special);
        if (special)
            return leaveSpecial(from, kept);
        if (!e)
            done.push_back(to);
        return e;
    }

    // Copies one regular file to target through a temporary file beside it.
    Error copyFile(const std::string& from, const std::string& target, bool replace,
                   bool& special) {
        // Not blocking while the file is checked: whatever replaced it since
        // it was listed must not make the copy wait.
        const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (in < 0)
            return fail(from);
        struct stat st {};
        if (::fstat(in, &st) != 0) {
            const Error e = fail(from);
            ::close(in);
            return e;
        }
        if (!S_ISREG(st.st_mode)) {
            ::close(in);
            special = true;
            return {};
        }
        const int flags = ::fcntl(in, F_GETFL);
        if (flags != -1)
            ::fcntl(in, F_SETFL, flags & ~O_NONBLOCK);
        std::string tmp = joinPath(fs::path(target).parent_path().string(), ".kamelo-copy-XXXXXX");
        const int out = ::mkstemp(tmp.data());
        if (out < 0) {
            const Error e = fail(target);
            ::close(in);
            return e;
        }
        Error e;
        std::vector<char> buf(1 << 20);
        for (;;) {
            const ssize_t n = ::read(in, buf.data(), buf.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                e = fail(from);
                break;
            }
            if (n == 0)
                break;
            for (ssize_t w = 0; w < n;) {
                const ssize_t m = ::write(out, buf.data() + w, size_t(n - w));
                if (m < 0 && errno == EINTR)
                    continue;
                if (m <= 0) {
                    e = fail(target, m < 0 ? errno : ENOSPC);
                    break;
                }
                w += m;
            }
            if (e)
                break;
            done_ += uint64_t(n);
            report();
        }
        ::close(in);
        if (!e && ::fsync(out) != 0)
            e = fail(target);
        ::fchmod(out, st.st_mode & 07777);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
        if (::close(out) != 0 && !e)
            e = fail(target);
        if (!e) {
            const int rc = replace ? (::rename(tmp.c_str(), target.c_str()) == 0 ? 0 : errno)
                                   : renameNoReplace(tmp, target);
            if (rc != 0)
                e = fail(target, rc);
        }
        if (e)
            ::unlink(tmp.c_str());
        return e;
    }

    const FileOps::Callbacks& cb_;
    uint64_t total_;
    bool move_;
    uint64_t done_ = 0;
    bool cancelled_ = false;
    std::vector<std::string> special_;
    std::string root_;
};

} // namespace

std::string FileOps::copyName(const std::string& path) {
    const fs::path p(path);
    const std::string stem = p.stem().string(), ext = p.extension().string();
    const std::string folder = p.parent_path().string();
    for (int n = 1;; ++n) {
        const std::string name =
            stem + " - 복사본" + (n == 1 ? std::string() : " (" + std::to_string(n) + ")") + ext;
        const std::string candidate = joinPath(folder, name);
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) != 0)
            return candidate;
    }
}

bool FileOps::isInside(const std::string& inner, const std::string& folder) {
    const std::string a = normal(inner), b = normal(folder);
    return a == b || (a.size() > b.size() && a.compare(0, b.size(), b) == 0 &&
                      (b == "/" || a[b.size()] == '/'));
}

FileOps::Outcome FileOps::copyInto(const std::vector<std::string>& sources,
                                   const std::string& folderIn, bool move,
                                   const Callbacks& callbacks) {
    Outcome outcome;
    const std::string folder = normal(folderIn);
    uint64_t total = 0;
    for (const std::string& s : sources)
        total += sizeOf(s);
    Copier copier(callbacks, total, move);
    for (const std::string& given : sources) {
        const std::string source = normal(given);
        const std::string name = fs::path(source).filename().string();
        std::string target = joinPath(folder, name);
        const std::string parent = normal(fs::path(source).parent_path().string());
        // The same folder under another path (a link to it) is the same folder.
        const bool sameFolder = parent == folder || isSameFile(parent, folder);
        if (sameFolder && move)
            continue; // already there
        struct stat st {};
        const bool realFolder = ::lstat(source.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (isInside(folder, source) || (realFolder && isInsideReally(folder, source)))
            continue; // a folder into itself
        if (sameFolder)
            target = copyName(source);

        if (move) {
            // On one volume a rename moves everything at once.
            const int rc = renameNoReplace(source, target);
            if (rc == 0) {
                outcome.done.push_back(target);
                continue;
            }
            if (rc != EXDEV && rc != EEXIST) {
                outcome.error = {rc, source};
                return outcome;
            }
        }
        bool kept = false;
        copier.setRoot(realFolder ? source : std::string());
        outcome.error = copier.copyAny(source, target, outcome.done, kept);
        outcome.specialFiles = copier.specialFiles();
        if (outcome.error || copier.cancelled()) {
            outcome.cancelled = copier.cancelled();
            return outcome;
        }
        // The source goes only when everything of it arrived, and never when
        // it is the target itself.
        if (move && !kept && !sameEntry(source, target)) {
            const Error e = removePermanently(source);
            if (e) {
                outcome.error = e;
                return outcome;
            }
        }
    }
    copier.report();
    return outcome;
}

bool FileOps::isSameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sameStat(sa, sb);
}

FileOps::Error FileOps::rename(const std::string& from, const std::string& to) {
    const int rc = renameNoReplace(from, to);
    return rc == 0 ? Error{} : Error{rc, to};
}

FileOps::Error FileOps::makeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 ? Error{} : fail(path);
}

FileOps::Error FileOps::removePermanently(const std::string& path) {
    std::error_code ec;
    fs::remove_all(path, ec);
    return ec ? Error{ec.value(), path} : Error{};
}

} // namespace kamelo
