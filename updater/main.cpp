#include "updater/updaterstrings.h"

#include <iostream>

// The updater's run flow is not part of this build yet. It says so and ends
// without touching any file, rather than pretending to update.
int main() {
    std::cerr << vela::text(vela::Str::STR_CAPTION) << " "
              << vela::text(vela::Str::STR_VERSION_TEXT)
              << ": 이 버전의 업데이트 프로그램은 업데이트를 수행하지 않습니다.\n";
    return 1;
}
