#pragma once

#include "import/camera/gphotocamera.h"
#include "importjob.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kamelo::acquire {

// One accepted file on a camera.
struct CameraPhoto {
    std::string folder; // "/DCIM/100CANON"
    std::string name;
    uint64_t size = 0;
    int64_t mtime = 0;
    std::string date; // "YYYY:MM:DD HH:MM:SS": the EXIF capture date, else the file time
    std::string path() const { return folder == "/" ? "/" + name : folder + "/" + name; }
};

// A camera as the source of an import run: its accepted files listed like a
// card's, and each brought for the copy into a hidden folder inside the
// destination, whose file the run then copies, checks and renames as it
// does any card's file.
class CameraSource : public SourceFetcher {
public:
    explicit CameraSource(std::unique_ptr<GPhotoCamera> camera);
    ~CameraSource() override;

    GPhotoCamera& camera() { return *camera_; }
    // Called with the number of files listed so far, after each.
    using Listed = std::function<void(size_t count)>;
    // Each folder's accepted files in name order, then its sub-folders the
    // same way. 0 or a libgphoto2 error; a camera that is gone part-way
    // ends the listing with the error (present() then says false).
    int list(std::vector<CameraPhoto>& photos, const std::atomic<bool>* stop = nullptr,
             const Listed& listed = {});
    // The run's files (in the job's order) and where they go.
    void prepare(std::vector<CameraPhoto> photos, const std::string& destination);

    Fetch fetch(size_t index, std::string& path, std::string& reason) override;
    void release(size_t index) override;
    void finished() override;
    bool removeOriginal(size_t index, std::string& reason) override;

private:
    int walk(const std::string& folder, int depth, std::vector<CameraPhoto>& photos,
             const std::atomic<bool>* stop, const Listed& listed);
    std::string dateOf(const CameraPhoto& photo);

    std::unique_ptr<GPhotoCamera> camera_;
    std::vector<CameraPhoto> photos_;
    std::string destination_;
    std::string staging_; // made at the first fetch
    std::vector<std::string> staged_;
    bool headReadable_ = true; // false once the driver says it cannot read a part
};

} // namespace kamelo::acquire
