# Sourced by the scripts that run Windows programs under Wine: a headless,
# quiet Wine with its prefix in $build/wineprefix, created on first use.
# Expects $build (the mingw-w64 build folder).
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
# No Mono or Gecko install prompts; a crashing program ends at once instead of
# waiting in Wine's debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEARCH=win64

# Lines Wine prints on its own about drivers, devices and its prefix.
wine_noise='^(wine: |Wine |[0-9a-f]+:(err|fixme|warn|trace):|ALSA lib |ALSA: |err:|fixme:|MESA|libEGL|X11|Xlib|Could not find Wine Gecko|wineserver: |Fontconfig)'
# Drops that noise, but keeps a crash report ("wine: Unhandled page fault ...").
filter() { awk -v noise="$wine_noise" '/Unhandled/ || $0 !~ noise'; }

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix in $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # Headless: Wine's null graphics driver, no audio driver.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f >/dev/null 2>&1
  wineserver -w
fi
