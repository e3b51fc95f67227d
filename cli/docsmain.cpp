// kamelo-cli-docs OUTDIR: writes kamelo.1, kamelo-cli.1 and the bash
// completion kamelo-cli from the help texts, at build time.

#include "cli/helpdocs.h"

#include <fstream>
#include <iostream>
#include <string>

namespace {

bool write(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
    f.close();
    if (!f) {
        std::cerr << "쓸 수 없습니다: " << path << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::cerr << "사용법: kamelo-cli-docs OUTDIR\n";
        return 2;
    }
    using namespace kamelo::clihelp;
    const std::string dir = std::string(argv[1]) + "/";
    const bool ok = write(dir + "kamelo.1", manPage(photoProgram(), false, KAMELO_VERSION)) &&
                    write(dir + "kamelo-cli.1", manPage(cliProgram(), true, KAMELO_VERSION)) &&
                    write(dir + "kamelo-cli", bashCompletion());
    return ok ? 0 : 1;
}
