#pragma once

#include <functional>

namespace kamelo {

class CShowView;

// Runs run at once, or, while view is still decoding the picture it opened
// with, once that picture is on screen whole and sharp (the load and the
// full decode behind a smaller one have ended, or were left for another
// picture) and painted. A modal question raised between two bands would
// hold the rest of the picture back until it was answered; other work
// would share the cores with it.
void afterPictureLoaded(CShowView* view, std::function<void()> run);
// The same, but always from the event loop after the view's next paint
// (for work begun when the picture was put in place, before its paint).
void afterPictureShown(CShowView* view, std::function<void()> run);
// Runs run once, after the view's first picture was put in place (not an
// empty list while its folder is listed) and shown as above, or its load
// failed, or no picture was found. For work a program started on a
// picture puts off until then.
void afterFirstPicture(CShowView* view, std::function<void()> run);

} // namespace kamelo
