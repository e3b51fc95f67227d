#pragma once

#include <QDialog>

#include <functional>
#include <vector>

class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace kamelo {
class CUiSettings;
class SettingsStore;
} // namespace kamelo

namespace kamelo::prefs {

class PreferencePage;

// The slide-show page comes from the viewer: a widget made with the settings
// store and a parent, and the OK step that writes its values. Returns null
// while there is none.
struct ForeignPage {
    QWidget* widget = nullptr;
    std::function<void()> ok;
};
using SlideShowPageFactory = std::function<ForeignPage(SettingsStore& store, QWidget* parent)>;
// The factory the sheet uses; the program sets it once at start-up.
void setSlideShowPageFactory(SlideShowPageFactory factory);

// "환경 설정": the pages in a tree at the left ("PageTree"), in the order
// thumbnails, file associations, slide show, miscellaneous. OK runs every
// page's OK step in that order; "적용" does the same without closing and is
// enabled only while a page holds a change not yet written.
class CPreferencesSheet : public QDialog {
    Q_OBJECT
public:
    CPreferencesSheet(CUiSettings& settings, SettingsStore& store, const QString& samplePath,
                      QWidget* parent = nullptr);

    QTreeWidget* pageTree() const { return tree_; }
    QStackedWidget* pages() const { return stack_; }
    int pageCount() const;
    QWidget* page(int index) const;

    QPushButton* applyButton() const { return apply_; }
    // "적용": every page writes its values; the sheet stays open.
    void apply();
    void accept() override;

signals:
    // The pages' values were written by "적용".
    void applied();

private:
    void addPage(QWidget* page, std::function<void()> ok);
    // Any edit of a page's controls enables "적용".
    void watchChanges(QWidget* page);
    void markChanged();
    void writePages();

    QTreeWidget* tree_;
    QStackedWidget* stack_;
    std::vector<std::function<void()>> okSteps_;
    QPushButton* apply_ = nullptr;
};

} // namespace kamelo::prefs
