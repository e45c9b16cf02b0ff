# Sourced by the scripts that run wayfold.exe: finds Wine and sets up a
# prefix of the project's own, never the user's ~/.wine.
WINE=${WINE:-$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)}
WINESERVER=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# A French Windows: ANSI code page 1252, OEM code page 850 on the console.
export LC_ALL=fr_FR.UTF-8
