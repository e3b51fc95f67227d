#pragma once

#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "tests/support/scratchdir.h"
#include "viewer/eyedoc.h"

namespace kamelo::test {

// What a viewer widget needs around it: a settings store and UI settings in
// a scratch folder, installed for the test's lifetime, and a document.
struct ViewerEnv {
    ScratchDir dir;
    SettingsStore store{dir.file("k.sqlite")};
    CUiSettings settings;
    CEyeDoc doc;
    ViewerEnv() {
        setUiSettings(&settings);
        setSettingsStore(&store);
    }
    ~ViewerEnv() {
        setUiSettings(nullptr);
        setSettingsStore(nullptr);
    }
};

} // namespace kamelo::test
