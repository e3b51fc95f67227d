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

class Copier {
public:
    Copier(const FileOps::Callbacks& cb, uint64_t total) : cb_(cb), total_(total) {}

    bool cancelled() const { return cancelled_; }

    // Copies one regular file to target through a temporary file beside it.
    Error copyFile(const std::string& from, const std::string& target, bool replace) {
        const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            return fail(from);
        struct stat st {};
        ::fstat(in, &st);
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

    // Copies a file or folder to target (target's folder exists).
    Error copyAny(const std::string& from, const std::string& target,
                  std::vector<std::string>& done, bool& skipped) {
        skipped = false;
        if (!report())
            return {};
        std::error_code ec;
        const fs::file_status s = fs::symlink_status(from, ec);
        if (ec)
            return fail(from, ec.value());
        if (fs::is_directory(s)) {
            if (fs::exists(fs::symlink_status(target, ec)) &&
                !fs::is_directory(fs::status(target, ec)))
                return fail(target, EEXIST);
            if (!fs::is_directory(fs::status(target, ec)) && ::mkdir(target.c_str(), 0777) != 0)
                return fail(target);
            bool anySkipped = false;
            for (auto it = fs::directory_iterator(from, ec); !ec && it != fs::directory_iterator();
                 it.increment(ec)) {
                bool childSkipped = false;
                const Error e =
                    copyAny(it->path().string(), joinPath(target, it->path().filename().string()),
                            done, childSkipped);
                if (e || cancelled_)
                    return e;
                anySkipped |= childSkipped;
            }
            if (ec)
                return fail(from, ec.value());
            skipped = anySkipped;
            return {};
        }
        if (fs::is_symlink(s)) {
            const fs::path link = fs::read_symlink(from, ec);
            if (ec)
                return fail(from, ec.value());
            fs::create_symlink(link, target, ec);
            return ec ? fail(target, ec.value()) : Error{};
        }
        bool replace = false;
        if (::access(target.c_str(), F_OK) == 0) {
            const FileOps::Clash answer = cb_.clash ? cb_.clash(target) : FileOps::Clash::Skip;
            if (answer == FileOps::Clash::Cancel) {
                cancelled_ = true;
                return {};
            }
            if (answer == FileOps::Clash::Skip) {
                skipped = true;
                return {};
            }
            replace = true;
        }
        const Error e = copyFile(from, target, replace);
        if (!e)
            done.push_back(target);
        return e;
    }

    bool report() {
        if (cb_.progress && !cb_.progress(done_, total_))
            cancelled_ = true;
        return !cancelled_;
    }

private:
    const FileOps::Callbacks& cb_;
    uint64_t total_;
    uint64_t done_ = 0;
    bool cancelled_ = false;
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
        if (::access(candidate.c_str(), F_OK) != 0)
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
    Copier copier(callbacks, total);
    for (const std::string& given : sources) {
        const std::string source = normal(given);
        const std::string name = fs::path(source).filename().string();
        std::string target = joinPath(folder, name);
        const bool sameFolder = normal(fs::path(source).parent_path().string()) == folder;
        if (sameFolder && move)
            continue; // already there
        if (isInside(folder, source))
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
        bool skipped = false;
        outcome.error = copier.copyAny(source, target, outcome.done, skipped);
        if (outcome.error || copier.cancelled()) {
            outcome.cancelled = copier.cancelled();
            return outcome;
        }
        // The source goes only when everything of it arrived.
        if (move && !skipped) {
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
