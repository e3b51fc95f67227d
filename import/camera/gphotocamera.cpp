#include "gphotocamera.h"

#include <gphoto2/gphoto2-abilities-list.h>
#include <gphoto2/gphoto2-camera.h>
#include <gphoto2/gphoto2-context.h>
#include <gphoto2/gphoto2-file.h>
#include <gphoto2/gphoto2-list.h>
#include <gphoto2/gphoto2-port-info-list.h>
#include <gphoto2/gphoto2-port-result.h>
#include <gphoto2/gphoto2-result.h>

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kamelo::acquire {

static_assert(GPhotoCamera::kNotSupported == GP_ERROR_NOT_SUPPORTED);

namespace {

// A camera's listing of one folder is bounded: a hostile device could
// claim millions of entries.
constexpr int kMaxEntries = 100000;
constexpr char kDirectoryModel[] = "Directory Browse";
constexpr char kDiskPrefix[] = "disk:";

struct ListGuard {
    CameraList* list = nullptr;
    ListGuard() { gp_list_new(&list); }
    ~ListGuard() {
        if (list)
            gp_list_free(list);
    }
};

bool isDiskPort(const std::string& port) {
    return port.rfind(kDiskPrefix, 0) == 0;
}

} // namespace

struct GPhotoCamera::Handles {
    GPContext* context = nullptr;
    Camera* camera = nullptr;
    CameraAbilitiesList* abilities = nullptr;
    GPPortInfoList* ports = nullptr;
    bool initialised = false;
    ~Handles() {
        if (camera) {
            if (initialised)
                gp_camera_exit(camera, context);
            gp_camera_unref(camera);
        }
        if (ports)
            gp_port_info_list_free(ports);
        if (abilities)
            gp_abilities_list_free(abilities);
        if (context)
            gp_context_unref(context);
    }
};

GPhotoCamera::GPhotoCamera() : h_(std::make_unique<Handles>()) {}
GPhotoCamera::~GPhotoCamera() = default;

std::string GPhotoCamera::errorText(int code) {
    const char* text = gp_result_as_string(code);
    return text ? text : std::to_string(code);
}

int GPhotoCamera::detect(std::vector<Found>& found, bool readStorage) {
    found.clear();
    GPContext* context = gp_context_new();
    if (!context)
        return GP_ERROR_NO_MEMORY;
    ListGuard list;
    int rc = list.list ? gp_camera_autodetect(list.list, context) : GP_ERROR_NO_MEMORY;
    gp_context_unref(context);
    if (rc < GP_OK)
        return rc;
    const int count = gp_list_count(list.list);
    for (int i = 0; i < count && i < kMaxEntries; ++i) {
        const char* model = nullptr;
        const char* port = nullptr;
        if (gp_list_get_name(list.list, i, &model) < GP_OK ||
            gp_list_get_value(list.list, i, &port) < GP_OK || !model || !port)
            continue;
        Found f{model, port, {}};
        std::unique_ptr<GPhotoCamera> camera;
        if (readStorage && open(f.model, f.port, camera) == GP_OK)
            camera->storageLabel(f.storage);
        found.push_back(std::move(f));
    }
    return GP_OK;
}

int GPhotoCamera::open(const std::string& model, const std::string& port,
                       std::unique_ptr<GPhotoCamera>& out) {
    std::unique_ptr<GPhotoCamera> c(new GPhotoCamera);
    Handles& h = *c->h_;
    h.context = gp_context_new();
    if (!h.context)
        return GP_ERROR_NO_MEMORY;
    int rc = gp_abilities_list_new(&h.abilities);
    if (rc >= GP_OK)
        rc = gp_abilities_list_load(h.abilities, h.context);
    if (rc >= GP_OK)
        rc = gp_port_info_list_new(&h.ports);
    if (rc >= GP_OK)
        rc = gp_port_info_list_load(h.ports);
    if (rc < GP_OK)
        return rc;

    std::string name = model;
    if (name.empty() && isDiskPort(port)) {
        name = kDirectoryModel;
    } else if (name.empty()) {
        ListGuard list;
        if (!list.list)
            return GP_ERROR_NO_MEMORY;
        rc = gp_abilities_list_detect(h.abilities, h.ports, list.list, h.context);
        if (rc < GP_OK)
            return rc;
        for (int i = 0, n = gp_list_count(list.list); i < n && i < kMaxEntries; ++i) {
            const char* m = nullptr;
            const char* p = nullptr;
            if (gp_list_get_name(list.list, i, &m) >= GP_OK &&
                gp_list_get_value(list.list, i, &p) >= GP_OK && m && p && port == p) {
                name = m;
                break;
            }
        }
        if (name.empty())
            return GP_ERROR_MODEL_NOT_FOUND;
    }
    const int m = gp_abilities_list_lookup_model(h.abilities, name.c_str());
    if (m < GP_OK)
        return m;
    CameraAbilities abilities;
    rc = gp_abilities_list_get_abilities(h.abilities, m, &abilities);
    if (rc < GP_OK)
        return rc;
    const int p = gp_port_info_list_lookup_path(h.ports, port.c_str());
    if (p < GP_OK)
        return p == GP_ERROR_UNKNOWN_PORT ? GP_ERROR_IO_USB_FIND : p;
    GPPortInfo info;
    rc = gp_port_info_list_get_info(h.ports, p, &info);
    if (rc < GP_OK)
        return rc;
    rc = gp_camera_new(&h.camera);
    if (rc >= GP_OK)
        rc = gp_camera_set_abilities(h.camera, abilities);
    if (rc >= GP_OK)
        rc = gp_camera_set_port_info(h.camera, info);
    if (rc >= GP_OK)
        rc = gp_camera_init(h.camera, h.context);
    if (rc < GP_OK)
        return rc;
    h.initialised = true;
    c->model_ = name;
    c->port_ = port;
    // The directory driver opens any path, there or not.
    if (!c->present())
        return GP_ERROR_DIRECTORY_NOT_FOUND;
    out = std::move(c);
    return GP_OK;
}

int GPhotoCamera::storageLabel(std::string& label) {
    CameraStorageInformation* info = nullptr;
    int count = 0;
    const int rc = gp_camera_get_storageinfo(h_->camera, &info, &count, h_->context);
    if (rc < GP_OK)
        return rc;
    label.clear();
    if (count > 0 && info) {
        if ((info[0].fields & GP_STORAGEINFO_LABEL) && info[0].label[0])
            label.assign(info[0].label, strnlen(info[0].label, sizeof info[0].label));
        else if ((info[0].fields & GP_STORAGEINFO_DESCRIPTION) && info[0].description[0])
            label.assign(info[0].description,
                         strnlen(info[0].description, sizeof info[0].description));
    }
    std::free(info);
    return GP_OK;
}

int GPhotoCamera::listFolder(const std::string& folder, std::vector<Entry>& files,
                             std::vector<std::string>& folders) {
    files.clear();
    folders.clear();
    ListGuard names;
    if (!names.list)
        return GP_ERROR_NO_MEMORY;
    int rc = gp_camera_folder_list_files(h_->camera, folder.c_str(), names.list, h_->context);
    if (rc < GP_OK)
        return rc;
    for (int i = 0, n = gp_list_count(names.list); i < n && i < kMaxEntries; ++i) {
        const char* name = nullptr;
        if (gp_list_get_name(names.list, i, &name) < GP_OK || !name)
            continue;
        Entry e{name, 0, 0};
        CameraFileInfo info;
        std::memset(&info, 0, sizeof info);
        if (gp_camera_file_get_info(h_->camera, folder.c_str(), name, &info, h_->context) >=
            GP_OK) {
            if (info.file.fields & GP_FILE_INFO_SIZE)
                e.size = info.file.size;
            if (info.file.fields & GP_FILE_INFO_MTIME)
                e.mtime = int64_t(info.file.mtime);
        }
        files.push_back(std::move(e));
    }
    ListGuard subs;
    if (!subs.list)
        return GP_ERROR_NO_MEMORY;
    rc = gp_camera_folder_list_folders(h_->camera, folder.c_str(), subs.list, h_->context);
    if (rc < GP_OK)
        return rc;
    for (int i = 0, n = gp_list_count(subs.list); i < n && i < kMaxEntries; ++i) {
        const char* name = nullptr;
        if (gp_list_get_name(subs.list, i, &name) >= GP_OK && name && *name &&
            !std::strchr(name, '/'))
            folders.emplace_back(name);
    }
    return GP_OK;
}

int GPhotoCamera::readHead(const std::string& folder, const std::string& name, size_t size,
                           std::vector<uint8_t>& bytes) {
    bytes.resize(size);
    uint64_t got = size;
    const int rc =
        gp_camera_file_read(h_->camera, folder.c_str(), name.c_str(), GP_FILE_TYPE_NORMAL, 0,
                            reinterpret_cast<char*>(bytes.data()), &got, h_->context);
    bytes.resize(rc >= GP_OK && got <= size ? size_t(got) : 0);
    return rc < GP_OK ? rc : GP_OK;
}

int GPhotoCamera::download(const std::string& folder, const std::string& name, int fd) {
    // The camera file closes the descriptor it is given.
    const int own = ::dup(fd);
    if (own < 0)
        return GP_ERROR_IO;
    CameraFile* file = nullptr;
    int rc = gp_file_new_from_fd(&file, own);
    if (rc < GP_OK) {
        ::close(own);
        return rc;
    }
    rc = gp_camera_file_get(h_->camera, folder.c_str(), name.c_str(), GP_FILE_TYPE_NORMAL, file,
                            h_->context);
    gp_file_unref(file);
    return rc;
}

int GPhotoCamera::remove(const std::string& folder, const std::string& name) {
    return gp_camera_file_delete(h_->camera, folder.c_str(), name.c_str(), h_->context);
}

bool GPhotoCamera::present() const {
    if (isDiskPort(port_)) {
        struct stat st;
        return ::stat(port_.c_str() + std::strlen(kDiskPrefix), &st) == 0 && S_ISDIR(st.st_mode);
    }
    // A USB device that was pulled is no longer among the ports found now.
    GPPortInfoList* ports = nullptr;
    if (gp_port_info_list_new(&ports) < GP_OK)
        return false;
    bool there = false;
    if (gp_port_info_list_load(ports) >= GP_OK) {
        for (int i = 0, n = gp_port_info_list_count(ports); i < n && !there; ++i) {
            GPPortInfo info;
            char* path = nullptr;
            there = gp_port_info_list_get_info(ports, i, &info) >= GP_OK &&
                    gp_port_info_get_path(info, &path) >= GP_OK && path && port_ == path;
        }
    }
    gp_port_info_list_free(ports);
    return there;
}

} // namespace kamelo::acquire
