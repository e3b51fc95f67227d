#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kamelo::acquire {

// A camera or phone speaking PTP/MTP (or any driver libgphoto2 has), reached
// through libgphoto2 without windows. Every call returns 0 or a libgphoto2
// error code (negative); errorText() turns one into words.
class GPhotoCamera {
public:
    struct Found {
        std::string model;   // as the camera reports it
        std::string port;    // "usb:001,004", "disk:/path"...
        std::string storage; // the first storage's label, when it has one
    };
    struct Entry {
        std::string name;
        uint64_t size = 0;
        int64_t mtime = 0; // seconds since 1970, 0 when the camera has none
    };

    // The code of a call the driver does not offer.
    static constexpr int kNotSupported = -6;

    ~GPhotoCamera();
    GPhotoCamera(const GPhotoCamera&) = delete;
    GPhotoCamera& operator=(const GPhotoCamera&) = delete;

    // Every camera libgphoto2 detects; with readStorage, the storage label
    // is read by opening each (which a phone may take a while to answer).
    static int detect(std::vector<Found>& found, bool readStorage = true);
    // Opens the camera at port with the driver for model; an empty model
    // takes the one detected at that port ("Directory Browse" for a
    // "disk:" port).
    static int open(const std::string& model, const std::string& port,
                    std::unique_ptr<GPhotoCamera>& camera);
    static std::string errorText(int code);

    const std::string& model() const { return model_; }
    const std::string& port() const { return port_; }
    int storageLabel(std::string& label);
    // The files and the sub-folders of a folder ("/" the top), as listed.
    int listFolder(const std::string& folder, std::vector<Entry>& files,
                   std::vector<std::string>& folders);
    // Up to size bytes from the start of the file, where the driver can
    // read a part of a file; bytes is resized to what was read.
    int readHead(const std::string& folder, const std::string& name, size_t size,
                 std::vector<uint8_t>& bytes);
    // The whole file into fd (at its current offset).
    int download(const std::string& folder, const std::string& name, int fd);
    int remove(const std::string& folder, const std::string& name);
    // Whether the camera is still attached at its port.
    bool present() const;

private:
    struct Handles;
    GPhotoCamera();

    std::unique_ptr<Handles> h_;
    std::string model_;
    std::string port_;
};

} // namespace kamelo::acquire
