#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks of the installed tree (see CMakeLists.txt beside this):
#   installed_tree_test.sh install BUILD_DIR TREE   installs the build into TREE (prefix TREE/usr)
#   installed_tree_test.sh CHECK TREE               runs one check on it; 77 means skipped
set -euo pipefail

skip() {
    echo "skipped: $*"
    exit 77
}

check=$1
if [ "$check" = install ]; then
    rm -rf "$3"
    exec cmake --install "$2" --prefix "$3/usr"
fi
usr=$2/usr
id=io.github.moviestick.moviestick
desktop_file=$usr/share/applications/$id.desktop
metainfo=$usr/share/metainfo/$id.metainfo.xml

# The value of KEY in the desktop entry's main group.
desktop_key() {
    sed -n '/^\[Desktop Entry\]/,/^\[/{s/^'"$1"'=//p}' "$desktop_file"
}

case $check in
AppStreamDataValid)
    command -v appstreamcli > /dev/null || skip "appstreamcli is not installed"
    # validate-tree also finds a desktop entry or metainfo file not named after the component's
    # ID; --strict fails on hints too, not only on warnings.
    appstreamcli validate-tree --strict --no-net --explain "$usr"
    ;;
DesktopEntryValid)
    command -v desktop-file-validate > /dev/null || skip "desktop-file-validate is not installed"
    output=$(desktop-file-validate "$desktop_file" 2>&1) || { echo "$output"; exit 1; }
    # It exits 0 on hints that software centres still complain about.
    if [ -n "$output" ]; then
        echo "$output"
        exit 1
    fi
    ;;
NamedFilesInstalled)
    failed=0
    missing() {
        echo "$1"
        failed=1
    }
    read -r program _ <<< "$(desktop_key Exec)"
    [ -x "$usr/bin/$program" ] || missing "Exec names $program, which is not in bin/"
    icon=$(desktop_key Icon)
    compgen -G "$usr/share/icons/hicolor/*/apps/$icon.*" > /dev/null ||
        missing "Icon names $icon, which is not in the hicolor icon theme"
    for binary in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo"); do
        [ -x "$usr/bin/$binary" ] || missing "the AppStream data provide $binary, not in bin/"
    done
    # The program looks for its resources in share/moviestick beside its own bin/ folder.
    [ -f "$usr/share/moviestick/main.nib/Pref.ui" ] ||
        missing "the interface files are not in share/moviestick/main.nib"
    compgen -G "$usr/share/moviestick/translations/*.qm" > /dev/null ||
        missing "no compiled translation in share/moviestick/translations"
    exit $failed
    ;;
*)
    echo "unknown check $check" >&2
    exit 2
    ;;
esac
