#include "rotateops.h"

#include "batchhandover.h"

#include "imaging/geometryops.h"
#include "imaging/result.h"
#include "resources/stringtable.h"
#include <QWidget>

#include <any>

namespace kamelo::edit {

int RotateOps::apply(imaging::Bitmap& picture, const std::vector<RotateStep>& steps) {
    if (!picture.isAllocated())
        return imaging::result::kNoBitmap;
    if (steps.empty())
        return imaging::result::kSuccess;
    // Steps work on a copy when there are several, so a failure halfway
    // leaves the picture whole.
    imaging::Bitmap work = steps.size() > 1 ? picture : imaging::Bitmap();
    imaging::Bitmap& target = steps.size() > 1 ? work : picture;
    for (const RotateStep& s : steps) {
        int rc = imaging::result::kSuccess;
        switch (s.kind) {
        case RotateStep::Kind::Turn:
            rc = imaging::GeometryOps::rotate(target, s.angle);
            break;
        case RotateStep::Kind::Reverse:
            rc = imaging::GeometryOps::reverse(target);
            break;
        case RotateStep::Kind::Flip:
            rc = imaging::GeometryOps::flip(target);
            break;
        }
        if (rc < 1)
            return rc;
    }
    if (steps.size() > 1)
        picture = std::move(work);
    return imaging::result::kSuccess;
}

int RotateOps::applyCode(imaging::Bitmap& picture, RotateCode code) {
    return apply(picture, RotateRules::steps(code));
}

int RotateOps::undoCode(imaging::Bitmap& picture, RotateCode code) {
    return apply(picture, RotateRules::undoSteps(code));
}

int RotateOps::autoTurn(imaging::Bitmap& picture, int orientation, bool* turned) {
    if (turned)
        *turned = false;
    const int angle = RotateRules::autoTurn(orientation);
    if (angle == 0)
        return picture.isAllocated() ? imaging::result::kSuccess : imaging::result::kNoBitmap;
    const int rc = apply(picture, {RotateStep{RotateStep::Kind::Turn, angle}});
    if (turned)
        *turned = rc >= 1;
    return rc;
}

namespace {
RotateCode codeOf(const std::any* record) {
    if (!record)
        return RotateCode::None;
    if (const RotateCode* c = std::any_cast<RotateCode>(record))
        return *c;
    return RotateCode::None;
}
} // namespace

BatchOperation rotateBatchOperation() {
    BatchOperation op;
    op.titleId = res::IDS_ROTATE_TITLE;
    op.askBeforeOverwrite = true;
    op.newRecord = [] { return std::any(RotateCode::None); };
    op.uprightFor = [](const std::any* record) { return codeOf(record) == RotateCode::Auto; };
    op.step = [](imaging::Bitmap& picture, const std::any* record, std::string&) {
        // Auto was done by the run as it loaded the file.
        return RotateOps::applyCode(picture, codeOf(record));
    };
    return op;
}

void registerRotateBatch() {
    BatchHandOver::registerOperation(EditTool::Rotate, rotateBatchOperation());
}

} // namespace kamelo::edit
