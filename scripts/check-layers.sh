#!/bin/sh
# Calls go one way: a folder includes only itself and the layers below it.
# Run by ctest (LayerOrder); prints every include that breaks the order.
set -eu
cd "$(dirname "$0")/.."

allowed() {
    case "$1" in
    resources) echo "resources" ;;
    imaging) echo "imaging resources" ;;
    base) echo "base" ;;
    exif) echo "exif imaging resources" ;;
    platform) echo "platform resources" ;;
    chrome) echo "chrome platform resources" ;;
    browser) echo "browser chrome base exif imaging platform resources" ;;
    viewer) echo "viewer chrome base exif imaging platform resources" ;;
    edit) echo "edit browser viewer chrome base exif imaging platform resources" ;;
    # Skin INI files are read with the updater's profile reader.
    frames) echo "frames edit updater browser viewer chrome base exif imaging platform resources" ;;
    print) echo "print browser viewer chrome base exif imaging platform resources" ;;
    import) echo "import browser viewer chrome base exif imaging platform resources" ;;
    desktop) echo "desktop chrome base exif imaging platform resources" ;;
    # The update check reads INI files with the updater's reader.
    update) echo "update updater browser viewer chrome base exif imaging platform resources" ;;
    prefs) echo "prefs desktop update browser viewer chrome base exif imaging platform resources" ;;
    app) echo "app frames edit print import desktop update prefs browser viewer chrome base exif imaging platform resources" ;;
    cli) echo "cli frames edit print import desktop update prefs browser viewer chrome base exif imaging platform resources" ;;
    updater) echo "updater" ;;
    esac
}

bad=0
for dir in resources imaging base exif platform chrome browser viewer desktop \
    edit frames print import update prefs app cli updater; do
    [ -d "$dir" ] || continue
    ok="$(allowed "$dir") core"
    for f in $(find "$dir" -name '*.cpp' -o -name '*.h'); do
        for inc in $(sed -n 's|^#include "\([a-z_]*\)/.*|\1|p' "$f" | sort -u); do
            case " $ok " in
            *" $inc "*) ;;
            *)
                echo "$f includes $inc/, which is not below $dir/"
                bad=1
                ;;
            esac
        done
    done
done
exit $bad
