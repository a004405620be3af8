# shellcheck shell=bash
# Sourced by the Windows scripts: how they make a wine prefix of their own.
#   make_wine_prefix   makes the prefix named by WINEPREFIX
# WINEDLLOVERRIDES must hold "winemenubuilder.exe=d" before any wine process starts: the
# menu builder would write .desktop files, menus and icons for the prefix's Start menu
# into the home (~/.local/share, ~/.config/menus), pointing at a prefix soon gone.

make_wine_prefix() {
    case ";${WINEDLLOVERRIDES:-};" in
    *";winemenubuilder.exe=d;"*) ;;
    *)
        echo "make_wine_prefix: WINEDLLOVERRIDES does not turn the menu builder off" >&2
        return 1
        ;;
    esac
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # Wine links the profile's Desktop, Documents, Music, ... to the home: folders of the
    # prefix instead, so that nothing a program saves there reaches the home.
    local f
    for f in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$f" ]; then rm -f "$f" && mkdir -p "$f"; fi
    done
}
