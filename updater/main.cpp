#include "updater/planprinter.h"
#include "updater/updaterstrings.h"

#include <cstring>
#include <iostream>

// The update window and its run flow come with the installation step; until
// then the program offers the plan for publishers and tests and otherwise
// says that it updates nothing.
int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--plan") == 0) {
        if (argc != 4) {
            std::cerr << "usage: VelaUpdate --plan INSTALL_DIR LIST.INI\n";
            return 2;
        }
        return vela::printPlan(argv[2], argv[3], std::cout, std::cerr);
    }
    std::cerr << vela::text(vela::Str::STR_CAPTION) << " "
              << vela::text(vela::Str::STR_VERSION_TEXT)
              << ": 이 버전의 업데이트 프로그램은 업데이트를 수행하지 않습니다.\n";
    return 1;
}
