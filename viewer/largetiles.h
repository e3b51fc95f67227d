#pragma once

#include "imaging/bitmap.h"
#include "imaging/colour/colourtransform.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;

namespace kamelo {

// The pixels of one picture too large for one bitmap, read from its file on
// worker threads: the whole picture at a small scale, and the tiles of the
// part on screen at the level the zoom needs, kept under a byte budget
// (least recently used first). Workers touch no widget: they report by
// queued signals. A new picture (open, close) makes every job of the one
// before stale, running or queued.
class LargeTiles : public QObject {
    Q_OBJECT
public:
    static constexpr size_t kDefaultBudget = size_t(256) << 20;

    explicit LargeTiles(QObject* parent = nullptr);
    // Drops the jobs queued; those running end on their own threads.
    ~LargeTiles() override;

    // Whether the JPEG, PNG or TIFF at path is too large to decode whole;
    // its size then.
    static bool isLarge(const std::string& path, QSize* size = nullptr);

    // size: as stored; orientation (1-8): how the stored rows are turned
    // for the picture to stand upright, as the view shows it.
    void open(const std::string& path, QSize size, int orientation = 1);
    void close();
    bool isOpen() const { return !path_.empty(); }
    QSize size() const { return size_; }
    QSize uprightSize() const;

    // The whole picture at 1/level, upright, with its colour profile, on a
    // worker; fittedReady follows.
    void startFitted(int level);
    // The decode fittedReady announced (false: none for this picture).
    bool takeFitted(imaging::Bitmap& out, int& rc);

    // The tiles are made in the screen's colours through toScreen (null:
    // as they are); another transform or generation drops those held.
    void setColour(imaging::colour::TransformPtr toScreen, uint64_t generation);

    // Draws the tiles held of level over the part visible of the view (the
    // upright picture laid out at dest), only where they meet exposed, and asks
    // for the missing ones first and a ring around them after. True when
    // every tile over visible was there.
    bool paint(QPainter& p, const QRect& dest, const QRect& visible, const QRect& exposed,
               int level, bool smooth);

    size_t budget() const;
    void setBudget(size_t bytes);
    size_t heldBytes() const;
    // Jobs queued or running (tests and benchmarks).
    int jobs() const;

    struct Shared;

signals:
    // How far the whole picture's decode is (percent, below 100).
    void fittedProgress(int percent);
    void fittedReady();
    void tilesReady();

private:
    // Runs job on a worker thread, higher priorities first.
    void start(std::function<void()> job, int priority);
    // A job making the tiles claimed (column, row) of one block.
    void requestBlock(int level, std::vector<QPoint> tiles, uint64_t ticket, int priority);
    // Jobs for the tiles claimed, in blocks of neighbours.
    void requestBlocks(int level, const std::vector<QPoint>& tiles, uint64_t ticket, int priority);

    std::shared_ptr<Shared> shared_;
    std::string path_;
    QSize size_;
    int orientation_ = 1;
    size_t budget_ = kDefaultBudget;
};

} // namespace kamelo
