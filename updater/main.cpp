#include "updater/commandline.h"
#include "updater/fileplace.h"
#include "updater/messagebox.h"
#include "updater/paths.h"
#include "updater/planprinter.h"
#include "updater/systemactions.h"
#include "updater/updaterdialog.h"
#include "updater/updaterstrings.h"

#include <QApplication>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>
#include <unistd.h>

namespace {

QString q(vela::Str id) {
    auto t = vela::text(id);
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

std::string ownProgram() {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    return n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--plan") == 0) {
        if (argc != 4) {
            std::cerr << "usage: VelaUpdate --plan INSTALL_DIR LIST.INI\n";
            return 2;
        }
        return vela::printPlan(argv[2], argv[3], std::cout, std::cerr);
    }

    const std::string install = vela::installFolder();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    // The program that started the updater gets time to end.
    if (::chdir(install.c_str()) != 0)
        std::cerr << "VelaUpdate: cannot enter " << install << "\n";
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));

    QApplication app(argc, argv);
    vela::PosixSystemActions system;
    const std::string self = ownProgram();
    const std::string selfName = vela::fileNamePart(self);

    // Never run the window under the own name, so that the update can
    // replace this very file: run a "~" copy instead.
    if (vela::equalsNoCase(selfName, "VelaUpdate")) {
        vela::KMessageBoxWnd::notice(nullptr, q(vela::Str::STR_MAKING_TEMP));
        const std::string copy = vela::makeTildeTempName(install);
        std::vector<std::string> command{copy};
        command.insert(command.end(), arguments.begin(), arguments.end());
        if (!copy.empty() && vela::copyProgram(self, copy))
            system.startDetached(command);
        vela::deleteTildeFiles(install, copy);
        return 0;
    }

    // A command in parentheses is started hidden, without a window.
    std::string command;
    if (vela::parenthesisedCommand(vela::joinArguments(arguments), command)) {
        const auto commandArgs = vela::splitCommandLine(command);
        if (!commandArgs.empty())
            system.startDetached(commandArgs);
        return 0;
    }

    int result = 0;
    {
        vela::UpdaterDialog dialog(vela::splitCommandLine(vela::joinArguments(arguments)), system,
                                   install);
        if (const char* stop = std::getenv("VELA_UPDATE_TEST_STOP"))
            dialog.run().setStopPoint(stop);
        result = dialog.exec();
    }
    // The "~" copy removes itself; a later copy may already run from a new one.
    if (selfName.rfind("~temp.", 0) == 0)
        ::unlink(self.c_str());
    return result == QDialog::Accepted ? 0 : 1;
}
