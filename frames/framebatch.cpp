#include "framebatch.h"

#include "framecomposer.h"
#include "resources/stringtable.h"

#include <set>

namespace kamelo::frames {

namespace {
const DecorationRecord* recordOf(const std::any* record) {
    return record ? std::any_cast<DecorationRecord>(record) : nullptr;
}
} // namespace

edit::BatchOperation frameBatchOperation() {
    edit::BatchOperation op;
    op.titleId = res::IDS_FRAME_TOOL;
    op.askBeforeOverwrite = true;
    op.newRecord = [] { return std::any(DecorationRecord{}); };
    op.step = [](imaging::Bitmap& picture, const std::any* record, std::string& reason) {
        const DecorationRecord* r = recordOf(record);
        // A file without a record is written undecorated, as a fresh record says.
        return decorate(picture, r ? *r : DecorationRecord{}, reason);
    };
    return op;
}

std::string checkRecordSkins(const std::vector<std::any>& records) {
    std::set<std::string> checked;
    for (const std::any& a : records) {
        const DecorationRecord* r = recordOf(&a);
        if (!r || !framesPicture(*r) || !checked.insert(r->skinPath).second)
            continue;
        if (const FrameError error = checkSkinFile(r->skinPath); error != FrameError::None)
            return frameErrorText(error);
    }
    return {};
}

} // namespace kamelo::frames
