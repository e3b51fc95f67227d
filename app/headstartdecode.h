#pragma once

#include "viewer/bandloader.h"

#include <QSize>

#include <memory>
#include <string>
#include <vector>

namespace kamelo {

// The command-line picture's first, smaller decode begun as soon as the
// program starts, on a thread of its own, while the window is being made;
// the viewer's band loader follows it (BandLoader::HeadStart).
class HeadStartDecode : public BandLoader::HeadStart {
public:
    // The scale the viewer will decode a JPEG of width x height (stored,
    // orientation as in its EXIF) at when shown fitted in a view of about
    // viewGuess; 1 when the picture is decoded whole anyway.
    static int scaleFor(int width, int height, int orientation, QSize viewGuess);
    // The size of the view of a maximised frame on a screen with this
    // work area: less the frame's title, menu, tool and status bars.
    static QSize viewGuessFor(QSize workArea);
    // Begins the decode of path when it is a baseline JPEG that the viewer
    // decodes smaller first in a view of about viewGuess; else null.
    static std::unique_ptr<HeadStartDecode> start(const std::string& path, QSize viewGuess);
    // The same for the picture named by the program's arguments, for a
    // maximised viewer on the primary screen, offered to the band loader.
    static void offerFor(const std::vector<std::string>& argumentsAfterProgram);
    // Ends a decode begun for a view that never asked for it.
    static void dropUnused();

    ~HeadStartDecode() override;
    bool matches(const std::string& path, int scale) const override;
    bool wait(int seen, int ms, const imaging::Bitmap*& bitmap, int& rows) override;
    void stop() override;
    int finish(imaging::Bitmap& out) override;

    int scale() const;

private:
    struct State;
    explicit HeadStartDecode(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

} // namespace kamelo
