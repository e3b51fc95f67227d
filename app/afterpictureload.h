#pragma once

#include <functional>

namespace kamelo {

class CShowView;

// Runs run at once, or, while view is still decoding the picture it opened
// with, once that load has ended (or was left for another picture). A modal
// question raised between two bands would hold the rest of the picture back
// until it was answered.
void afterPictureLoaded(CShowView* view, std::function<void()> run);

} // namespace kamelo
