# Sourced (POSIX sh) by wine-run and wine-env.sh: the Wine loader that works
# on this machine, and Wine kept quiet and without the .NET and HTML
# installers. Machines whose kernel cannot run 32-bit Linux programs cannot
# run Wine's 32-bit loader either; there only the x86_64 build runs under
# Wine (wine64).
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  RAVELIN_WINE=/usr/bin/wine RAVELIN_WINE_ARCH=i686
else
  RAVELIN_WINE=/usr/lib/wine/wine64 RAVELIN_WINE_ARCH=x86_64
  export WINELOADER=/usr/lib/wine/wine64
fi
export RAVELIN_WINE RAVELIN_WINE_ARCH
