#pragma once

#include <QDialog>

#include <functional>
#include <vector>

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
// page's OK step in that order.
class CPreferencesSheet : public QDialog {
    Q_OBJECT
public:
    CPreferencesSheet(CUiSettings& settings, SettingsStore& store, const QString& samplePath,
                      QWidget* parent = nullptr);

    QTreeWidget* pageTree() const { return tree_; }
    QStackedWidget* pages() const { return stack_; }
    int pageCount() const;
    QWidget* page(int index) const;

    void accept() override;

private:
    void addPage(QWidget* page, std::function<void()> ok);

    QTreeWidget* tree_;
    QStackedWidget* stack_;
    std::vector<std::function<void()>> okSteps_;
};

} // namespace kamelo::prefs
