#include "rotateops.h"

#include "batchhandover.h"

#include "imaging/core/filebytes.h"
#include "imaging/core/savebyextension.h"
#include "imaging/geometryops.h"
#include "imaging/losslessjpeg.h"
#include "imaging/orientation.h"
#include "imaging/result.h"
#include "platform/fileerrortext.h"
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

imaging::PlaneTurn RotateOps::turnFor(RotateCode code) {
    imaging::PlaneTurn turn;
    for (const RotateStep& s : RotateRules::steps(code)) {
        switch (s.kind) {
        case RotateStep::Kind::Turn:
            turn = turn.then(imaging::PlaneTurn(false, s.angle / 9000));
            break;
        case RotateStep::Kind::Reverse:
            turn = turn.then(imaging::PlaneTurn::mirrorLeftRight());
            break;
        case RotateStep::Kind::Flip:
            turn = turn.then(imaging::PlaneTurn::mirrorTopBottom());
            break;
        }
    }
    return turn;
}

std::optional<int> RotateOps::writeTurned(const std::string& source, const std::string& destination,
                                          imaging::PlaneTurn turn, bool upright,
                                          std::string& reason, std::string& note) {
    if (imaging::saveFormatForPath(destination, imaging::SaveTable::Batch) != imaging::kJpegWriter)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    int rc = imaging::readWholeFile(source, bytes);
    if (rc < 1) {
        reason = imaging::resultText(rc);
        return rc;
    }
    if (!imaging::LosslessJpeg::isJpeg({bytes.data(), bytes.size()}))
        return std::nullopt;
    const int orientation = upright ? imaging::Orientation::read(source) : 1;
    imaging::LosslessJpeg::Options options;
    options.upright = orientation != imaging::Orientation::kUpright;
    imaging::LosslessJpeg::Result turned;
    rc = imaging::LosslessJpeg::turn({bytes.data(), bytes.size()},
                                     imaging::PlaneTurn::upright(orientation).then(turn), options,
                                     turned);
    if (rc == imaging::result::kUnsupported)
        return std::nullopt;
    if (rc < 1) {
        reason = imaging::resultText(rc);
        return rc;
    }
    bytes = {};
    rc = imaging::writeFileAtomically(destination, turned.bytes.data(), turned.bytes.size());
    if (rc < 1) {
        const int error = imaging::lastWriteError();
        reason = error != 0 ? FileErrorText::reason(error).toStdString() : imaging::resultText(rc);
        return rc;
    }
    if (turned.reencoded)
        note = res::format(res::IDS_ROTATE_REENCODED, turned.quality);
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
    op.directWrite = [](const std::string& source, const std::string& destination,
                        const std::any* record, bool upright, std::string& reason,
                        std::string& note) {
        return RotateOps::writeTurned(source, destination, RotateOps::turnFor(codeOf(record)),
                                      upright, reason, note);
    };
    return op;
}

void registerRotateBatch() {
    BatchHandOver::registerOperation(EditTool::Rotate, rotateBatchOperation());
}

} // namespace kamelo::edit
