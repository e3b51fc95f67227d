#include "updater/gunzip.h"

#include "updater/beneath.h"
#include "updater/paths.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace vela {

namespace {

std::string formatted(const char* format, const std::string& path) {
    std::vector<char> buffer(path.size() + 64);
    std::snprintf(buffer.data(), buffer.size(), format, path.c_str());
    return buffer.data();
}

// Drops the partial output so that nothing half-made can be installed.
bool failWith(std::string& report, std::string text, std::FILE* out, const std::string& outPath) {
    report = std::move(text);
    if (out) {
        std::fclose(out);
        std::remove(outPath.c_str());
    }
    return false;
}

} // namespace

bool decompressGzip(const std::string& gzPath, const std::string& outputPath, std::string& report,
                    int64_t maxOutputBytes, const std::string& root) {
    const int64_t packedSize = fileSize(gzPath);
    const auto started = std::chrono::steady_clock::now();
    // fileSize refuses what is not a regular file, which gzopen would block on.
    gzFile in = packedSize >= 0 ? gzopen(gzPath.c_str(), "rb") : nullptr;
    if (!in) {
        report = formatted("file open error : %s\n", gzPath);
        return false;
    }
    const int fd = createFileBeneath(root, outputPath);
    std::FILE* out = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!out) {
        if (fd >= 0)
            ::close(fd);
        gzclose(in);
        report = formatted("file open error : %s\n", outputPath);
        return false;
    }
    gzbuffer(in, kGunzipBlockBytes);
    std::vector<char> block(kGunzipBlockBytes);
    int64_t written = 0;
    bool checkedFormat = false;
    for (;;) {
        const int n = gzread(in, block.data(), kGunzipBlockBytes);
        if (n < 0) {
            int code = 0;
            std::string why = gzerror(in, &code);
            gzclose(in);
            return failWith(report, formatted("gzip data error : %s\n", gzPath + " (" + why + ")"),
                            out, outputPath);
        }
        // zlib copies data that is not gzip as it stands; a download that
        // is not what the list says it is must not be installed.
        if (!checkedFormat && (n > 0 || packedSize == 0)) {
            checkedFormat = true;
            if (gzdirect(in)) {
                gzclose(in);
                return failWith(report, formatted("not a gzip file : %s\n", gzPath), out,
                                outputPath);
            }
        }
        if (n == 0)
            break;
        written += n;
        // Nothing past the listed size is written: a bomb ends here.
        if (maxOutputBytes >= 0 && written > maxOutputBytes) {
            gzclose(in);
            return failWith(report, formatted("output larger than listed : %s\n", outputPath), out,
                            outputPath);
        }
        if (std::fwrite(block.data(), 1, static_cast<size_t>(n), out) != static_cast<size_t>(n)) {
            gzclose(in);
            return failWith(report, formatted("file write error : %s\n", outputPath), out,
                            outputPath);
        }
    }
    const int closed = gzclose(in);
    if (std::fclose(out) != 0 || closed != Z_OK) {
        std::remove(outputPath.c_str());
        report = formatted(closed != Z_OK ? "gzip data error : %s\n" : "file write error : %s\n",
                           closed != Z_OK ? gzPath : outputPath);
        return false;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double percent =
        written > 0 ? static_cast<double>(packedSize) * 100.0 / static_cast<double>(written) : 0.0;
    char line[160];
    std::snprintf(line, sizeof line, "%d to %d (%.2f%%) (%.4fsec elapsed)\n",
                  static_cast<int>(packedSize), static_cast<int>(written), percent, seconds);
    report = line;
    return true;
}

} // namespace vela
