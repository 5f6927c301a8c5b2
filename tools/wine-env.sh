# Sourced by tools/test and tools/demo: a throwaway Wine machine under a private X server.
# zan_machine_up creates it; zan_machine_down (installed as an EXIT trap) ends it all.

# Wine takes its ANSI code page and its file-name conversion from the Japanese locale, which
# everything started from here on is asked to use, this shell first. On a fresh machine it
# is made before that (tools/deps), so that nothing warns of a locale not there yet.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/deps"
fi
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "${ZAN_WINE_BITS:-64}" = 32 ]; then
  # Inside the emulated machine: Debian's 32-bit Wine runs the shipped 32-bit programs in
  # the prefix made when the guest was (tools/guest/build-image), where it lies: the guest's
  # disk is a throwaway overlay, so a copy would only cost time.
  export WINEARCH=win32
  unset WINELOADER
  ZAN_PREFIX_IN_PLACE=/opt/zan-prefix
else
  # On the build machine, 64-bit Wine only, under its usual command names (tools/wine64):
  # see tools/deps.
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64:$PATH"
  export PATH
fi

# zan_folders BUILD: where the programs this Wine runs are, in zan_dist, zan_bin (test
# programs and tools) and zan_standins: the shipped 32-bit files in the emulated machine,
# their 64-bit twin on the build machine.
zan_folders() {
  if [ "${ZAN_WINE_BITS:-64}" = 32 ]; then
    zan_dist=$1/dist zan_bin=$1/tests32/bin zan_standins=$1/standins
  else
    zan_dist=$1/dist64 zan_bin=$1/tests/bin zan_standins=$1/standins64
  fi
}

zan_machine_down() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    if [ "${ZAN_KEEP_PREFIX:-0}" != 1 ] && [ "$WINEPREFIX" != "${ZAN_PREFIX_IN_PLACE:-}" ]; then
      rm -rf "$WINEPREFIX"
    fi
  fi
  if [ -n "${ZAN_XVFB_PID:-}" ]; then kill "$ZAN_XVFB_PID" 2>/dev/null || true; fi
}

zan_start_x() {
  local fd_file
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  ZAN_XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(tr -d '\n' <"$fd_file")"
  rm -f "$fd_file"
}

# zan_machine_running: whether a caller has a machine of zan_machine_up running for us.
zan_machine_running() { [ -n "${ZAN_MACHINE:-}" ] && [ "${WINEPREFIX:-}" = "$ZAN_MACHINE" ] && [ -d "$ZAN_MACHINE" ]; }

# zan_machine_up EXE_DIR...: new prefix in Windows 98 mode; every program found in the
# given folders may also run as NAME_win95.exe / NAME_nt.exe under that Wine version.
zan_machine_up() {
  export WINEPREFIX ZAN_MACHINE
  if [ -d "${ZAN_PREFIX_IN_PLACE:-}" ]; then
    WINEPREFIX=$ZAN_PREFIX_IN_PLACE
  else
    WINEPREFIX=$(mktemp -d /tmp/zan-wine.XXXXXX)
  fi
  ZAN_MACHINE=$WINEPREFIX
  trap zan_machine_down EXIT
  trap 'exit 130' INT TERM
  zan_start_x
  if [ "$WINEPREFIX" != "${ZAN_PREFIX_IN_PLACE:-}" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  # Caption buttons are Marlett glyphs; the 64-bit loader started by its own path does not
  # find the fonts Wine keeps beside its data (fonts-wine), so the close button would show
  # as the letter "r". In the machine's Fonts folder it is found.
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  # The machine's settings, imported by its first program (written where Windows sees it
  # as C:\zan-machine.reg, since winepath would be a Wine program run first).
  local reg=$WINEPREFIX/drive_c/zan-machine.reg
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine]\r\n"Version"="win98"\r\n\r\n'
    # Without a window manager, Wine waits about two seconds whenever a managed window
    # closes; Wine-drawn frames are also what a screenshot should show.
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
    # A program that crashes ends at once with its backtrace in its output, instead of
    # waiting under an error dialog that nobody can see until CTest's time-out.
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
    # The dialogs ask for the Japanese system fonts; these stand in for them.
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n'
    printf '"MS PGothic"="IPAPGothic"\r\n"MS Gothic"="IPAGothic"\r\n"MS UI Gothic"="IPAPGothic"\r\n\r\n'
    local dir exe base
    for dir in "$@"; do
      [ -d "$dir" ] || continue
      for exe in "$dir"/*.exe "$dir"/*.EXE; do
        [ -e "$exe" ] || continue
        base=$(basename "$exe"); base=${base%.*}; base=${base%_win95}; base=${base%_nt}
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s_win95.exe]\r\n"Version"="win95"\r\n\r\n' "$base"
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s_nt.exe]\r\n"Version"="winxp"\r\n\r\n' "$base"
      done
    done
  } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
  # One server for the whole run: a new server would be a new boot, which carries out
  # wininit.ini behind the tests' backs. Its first program boots the machine once (the
  # settings reach every program started after the import), and starts Wine's own
  # services, which inherit its output and outlive it: it runs detached from any pipe a
  # caller may be reading.
  wineserver -p >/dev/null 2>&1 </dev/null
  wine regedit /S 'C:\zan-machine.reg' >/dev/null 2>&1 </dev/null
  rm -f "$reg"
}
