#pragma once

#include <QObject>

#include <memory>
#include <string>
#include <vector>

namespace kamelo {

// The pictures of a file's folder, listed on a worker thread in the name
// order a file manager shows, so that `kamelo FILE` paints its picture
// before a folder of thousands of files has been read.
class FolderListing : public QObject {
    Q_OBJECT
public:
    struct Result {
        std::vector<std::string> paths;
        int current = -1; // the file's own position, -1 when not a picture
    };
    // The listing itself (any thread).
    static Result list(const std::string& file);

    explicit FolderListing(const std::string& file, QObject* parent = nullptr);
    ~FolderListing() override;
    // Waits for the listing if it is still running and hands it over.
    Result take();

signals:
    // The listing is there (delivered on this object's thread).
    void ready();

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace kamelo
