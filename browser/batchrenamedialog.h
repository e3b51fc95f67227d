#pragma once

#include "browser/core/renamecheck.h"
#include "browser/core/renamepattern.h"
#include "browser/core/renameplan.h"
#include "browser/core/renamesnapshot.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QTreeView;

namespace kamelo {

class CThumbListCtrl;
class FileUi;
class RenamePreviewModel;

// "일괄 이름 바꾸기": renames the selected pictures by prefix, running
// number, date taken and suffix, showing every new name as it is typed.
// 확인 runs the whole rename as one checked plan: a marked row stops it
// before anything is renamed, and a failure part-way puts every name back.
class BatchRenameDialog : public QDialog {
    Q_OBJECT
public:
    struct Item {
        QString path;
        std::optional<int32_t> dateTaken; // when the list knows it
    };

    BatchRenameDialog(std::vector<Item> items, FileUi& ui, QWidget* parent = nullptr);
    ~BatchRenameDialog() override;

    // The pictures among the list's selected items, in list order.
    static std::vector<Item> selectedPictures(const CThumbListCtrl& list);
    // Opens the dialog on the list's selection; afterwards the list's
    // records follow the renamed files.
    static void run(CThumbListCtrl& list, QWidget* parent);

    RenamePattern pattern() const;
    // After 확인: the old and new path of every file renamed.
    const std::vector<std::pair<QString, QString>>& renamed() const { return renamed_; }
    // A failure left a file under a name the list does not know.
    bool stranded() const { return stranded_; }
    QTreeView* view() const { return view_; }

    // Every new name again from the fields, checked against the folders as
    // first read (a keystroke lists nothing again).
    void recompute();

protected:
    void accept() override;

private:
    void readMissingDates();
    // Says which characters a field left out of what was typed or pasted.
    void dropped(QLineEdit* field, const QString& characters);
    // The fields' names checked against fs (sources_ found there), shown.
    void check(const RenameFileSystem& fs);

    // The paths live in sources_ only; the dates beside them, by row.
    std::vector<std::optional<int32_t>> dates_;
    std::vector<bool> datesRead_;
    FileUi& ui_;
    QLineEdit* prefix_;
    QLineEdit* mask_;
    QLineEdit* start_;
    QComboBox* dateFormat_;
    QLineEdit* suffix_;
    QLabel* note_;
    QTreeView* view_;
    RenamePreviewModel* model_;
    std::unique_ptr<RenameSnapshot> snapshot_;
    std::shared_ptr<const RenameSources> sources_;
    std::shared_ptr<const RenameCheck> check_;
    std::vector<std::pair<QString, QString>> renamed_;
    bool stranded_ = false;
};

} // namespace kamelo
