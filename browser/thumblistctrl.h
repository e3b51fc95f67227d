#pragma once

#include <QListWidget>

namespace kamelo {

// The item list of the browser: the parent entry first, then folders, then
// files. Each item knows its full path and whether it is a folder or a picture.
class CThumbListCtrl : public QListWidget {
    Q_OBJECT
public:
    enum class Kind { Parent, Folder, Picture, Other };
    struct Entry {
        QString path;
        Kind kind = Kind::Other;
    };

    explicit CThumbListCtrl(QWidget* parent = nullptr);

    void setEntries(const QList<Entry>& entries);
    int itemCount() const { return count(); }
    QString pathAt(int index) const;
    Kind kindAt(int index) const;
    bool isPictureAt(int index) const { return kindAt(index) == Kind::Picture; }
    bool isFolderAt(int index) const;
    // -1 without a selection.
    int firstSelectedIndex() const;
    // Selects and shows the item with this path; false when there is none.
    bool selectPath(const QString& path);
    // True while thumbnails are being drawn in the background.
    bool isLoading() const { return loading_; }
    void setLoading(bool loading) { loading_ = loading; }

signals:
    // Double click or Enter on an item.
    void enterViewerRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool loading_ = false;
};

} // namespace kamelo
