#include "fuzzentries.h"

namespace kamelo::fuzz {

namespace {
int64_t budget = 0;
} // namespace

void setPixelBudget(int64_t pixels) {
    budget = pixels;
}

int64_t pixelBudget() {
    return budget;
}

bool withinPixelBudget(int width, int height) {
    return budget <= 0 || int64_t(width) * int64_t(height) <= budget;
}

} // namespace kamelo::fuzz
