#pragma once

#include "prefs/preferencepage.h"

#include <memory>

namespace kamelo {
class SettingsStore;
}
namespace kamelo::desktop {
class Associations;
class AssociationList;
} // namespace kamelo::desktop

namespace kamelo::prefs {

// "파일 연결 설정": the fourteen types, checked while they are the program's.
// A click associates or gives back the type at once; a failure is told and
// the row shows the real state again.
class CAssociatePage : public PreferencePage {
    Q_OBJECT
public:
    CAssociatePage(SettingsStore& store, QWidget* parent = nullptr);
    ~CAssociatePage() override;
    void ok() override {}
    desktop::AssociationList* list() const { return list_; }

private:
    std::unique_ptr<desktop::Associations> associations_;
    desktop::AssociationList* list_;
};

} // namespace kamelo::prefs
