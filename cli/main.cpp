#include "base/settingsstore.h"
#include "cli/colourstart.h"
#include "cli/commandhelp.h"
#include "cli/convertcommand.h"
#include "cli/editcommand.h"
#include "cli/exifcommand.h"
#include "cli/framecommand.h"
#include "cli/imagecommand.h"
#include "cli/importcommand.h"
#include "cli/printcommand.h"
#include "cli/renamecommand.h"
#include "cli/resizerotatecommand.h"
#include "cli/settingscommand.h"
#include "cli/thumbscommand.h"

#include <QApplication>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace {

// `kamelo-cli COMMAND --help` (and `cache show --help`) prints that command's
// help; true when it did.
bool printCommandHelp(const std::vector<std::string>& args) {
    if (args.size() < 2 || args.back() != "--help" || args.size() > 3)
        return false;
    const kamelo::clihelp::Command* c = kamelo::clihelp::find(args[0]);
    if (!c)
        return false;
    if (args.size() == 3 && std::find(c->words.begin(), c->words.end(), args[1]) == c->words.end())
        return false;
    std::cout << kamelo::clihelp::commandHelp(*c);
    return true;
}

int run(int argc, char* argv[]) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string dbPath;
    if (args.size() >= 2 && args[0] == "--db") {
        dbPath = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() == 1 && args[0] == "--help") {
        std::cout << kamelo::clihelp::programHelp();
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "Kamelo " << KAMELO_VERSION << "\n";
        return 0;
    }
    if (printCommandHelp(args))
        return 0;
    const bool thumbs = !args.empty() && (args[0] == "thumbs" || args[0] == "cache");
    const bool convert = !args.empty() && args[0] == "convert";
    const bool print = !args.empty() && args[0] == "print";
    const bool frames = !args.empty() && (args[0] == "frame" || args[0] == "text");
    const bool edits = !args.empty() && (args[0] == "adjust" || args[0] == "crop" ||
                                         args[0] == "resize" || args[0] == "rotate");
    if (!args.empty() && (args[0] == "settings" || thumbs || convert || print || edits || frames)) {
        kamelo::SettingsStore store(dbPath.empty() ? kamelo::SettingsStore::defaultPath() : dbPath);
        if (store.openStatus() == kamelo::StoreOpenStatus::RecoveredFromDamage)
            std::cerr << "손상된 설정 파일을 옮겨 두었습니다: " << store.damagedCopyPath() << "\n";
        // A settings command explains a locked or unusable file itself.
        else if (store.openStatus() == kamelo::StoreOpenStatus::InMemoryOnly &&
                 args[0] != "settings")
            std::cerr << "설정 파일을 열 수 없습니다: " << store.path() << "\n";
        kamelo::applyColourSettings(store);
        if (args[0] == "settings")
            return kamelo::runSettingsCommand(store, {args.begin() + 1, args.end()}, std::cout,
                                              std::cerr);
        if (convert)
            return kamelo::runConvertCommand(store, {args.begin() + 1, args.end()}, std::cout,
                                             std::cerr);
        if (args[0] == "adjust" || args[0] == "crop")
            return (args[0] == "adjust" ? kamelo::runAdjustCommand : kamelo::runCropCommand)(
                store, {args.begin() + 1, args.end()}, std::cout, std::cerr);
        if (args[0] == "resize")
            return kamelo::runResizeCommand(store, {args.begin() + 1, args.end()}, std::cout,
                                            std::cerr);
        if (args[0] == "rotate")
            return kamelo::runRotateCommand(store, {args.begin() + 1, args.end()}, std::cout,
                                            std::cerr);
        // Cells are drawn with the desktop's icons and fonts; no window opens.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (print)
            return kamelo::runPrintCommand(store, rest, std::cout, std::cerr);
        if (frames)
            return kamelo::runFrameCommand(store, args[0] == "text", rest, std::cout, std::cerr);
        return args[0] == "thumbs" ? kamelo::runThumbsCommand(store, rest, std::cout, std::cerr)
                                   : kamelo::runCacheCommand(store, rest, std::cout, std::cerr);
    }
    if (!args.empty() && args[0] == "exif")
        return kamelo::runExifCommand({args.begin() + 1, args.end()}, std::cout, std::cerr);
    if (!args.empty() && args[0] == "info")
        return kamelo::runInfoCommand({args.begin() + 1, args.end()}, std::cout, std::cerr);
    if (!args.empty() && args[0] == "rename")
        return kamelo::runRenameCommand({args.begin() + 1, args.end()}, std::cout, std::cerr);
    if (!args.empty() && args[0] == "import")
        return kamelo::runImportCommand({args.begin() + 1, args.end()}, std::cout, std::cerr);
    if (!args.empty() && args[0] == "resave")
        return kamelo::runResaveCommand({args.begin() + 1, args.end()}, std::cerr);
    std::cerr << kamelo::clihelp::usage({});
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    // A file system failure nobody expected still ends with a reason, not an
    // abort.
    try {
        return run(argc, argv);
    } catch (const std::filesystem::filesystem_error& e) {
        std::cerr << "파일 시스템 오류: " << e.what() << "\n";
    } catch (const std::bad_alloc&) {
        std::cerr << "메모리가 부족합니다.\n";
    }
    return 2;
}
