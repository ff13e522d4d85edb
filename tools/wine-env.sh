# Sourced by tools/test, tools/run and tools/bench: a private Wine prefix in
# the build tree, its own Xvfb on a free display and one persistent
# wineserver, all torn down by wine_env_stop (also on failure or interrupt).
# Needs: PLENARA_BUILD (the cross build folder).

export LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all
export WINEARCH=win32
export WINEPREFIX="$PLENARA_BUILD/wineprefix"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The 64-bit server serves 32-bit clients too, and runs natively even where
# the 32-bit Wine itself runs under emulation.
if [ -x /usr/lib/wine/wineserver64 ]; then
  export WINESERVER=/usr/lib/wine/wineserver64
fi

wine_env_pids=()

# Xvfb picks a free display number itself and reports it once it listens, so
# harnesses started side by side never share one server (and lose it when the
# other one ends).
wine_start_xvfb() {
  local tries number_file="$PLENARA_BUILD/.xvfb.display"
  for tries in 1 2 3 4 5; do
    rm -f "$number_file"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
    local pid=$!
    local i n
    for i in $(seq 1 100); do
      n=$(head -n 1 "$number_file" 2>/dev/null)
      if [ -n "$n" ] && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        wine_env_pids+=("$pid")
        export DISPLAY=":$n"
        echo "$pid" > "$PLENARA_BUILD/.xvfb.pid"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "Xvfb did not start" >&2
  return 1
}

wine_reg_add() {
  wine reg add "$@" /f >/dev/null 2>&1
}

wine_make_prefix() {
  [ -f "$WINEPREFIX/.plenara-ready" ] && return 0
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  # No crash dialog: a crashing test must fail, not wait for a click.
  wine_reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
  # Japanese UI faces rendered with the installed IPA font.
  local face
  for face in "MS UI Gothic" "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "MS Gothic" "MS PGothic" "Meiryo UI"; do
    wine_reg_add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d IPAGothic
  done
  # Every process runs in one virtual desktop with a taskbar and a tray.
  wine_reg_add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d shell
  wine_reg_add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /t REG_SZ /d 1024x768
  "${WINESERVER:-wineserver}" -w
  touch "$WINEPREFIX/.plenara-ready"
}

wine_start_desktop() {
  "${WINESERVER:-wineserver}" -p >/dev/null 2>&1 </dev/null
  # The desktop process owns the taskbar and the notification area.
  wine explorer >/dev/null 2>&1 </dev/null &
  wine_env_pids+=("$!")
  # A loaded machine under emulation can take well over ten seconds here.
  local deadline=$((SECONDS + 90))
  until xwininfo -root -tree 2>/dev/null | grep -q 'Wine desktop'; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "wine-env: the Wine desktop did not appear" >&2
      break
    fi
    sleep 0.1
  done
  # The X window comes before the desktop is ready for every process, and
  # now and then a session never becomes ready: ask from the Windows side.
  local probe="$PLENARA_BUILD/bin/plenara-probe.exe"
  [ -f "$probe" ] || return 0
  wine "$probe" desktop-ready - 30000 >/dev/null 2>&1
}

wine_env_start() {
  mkdir -p "$PLENARA_BUILD"
  trap wine_env_stop EXIT
  trap 'wine_env_stop; exit 130' INT TERM
  wine_start_xvfb
  wine_make_prefix
  local attempt
  for attempt in 1 2 3; do
    wine_start_desktop && return 0
    echo "wine-env: the Wine desktop did not become ready; starting it again" >&2
    "${WINESERVER:-wineserver}" -k >/dev/null 2>&1 || true
    "${WINESERVER:-wineserver}" -w >/dev/null 2>&1 || true
  done
  echo "wine-env: the Wine desktop never became ready" >&2
  return 1
}

wine_env_stop() {
  trap - EXIT INT TERM
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    "${WINESERVER:-wineserver}" -k >/dev/null 2>&1 || true
    "${WINESERVER:-wineserver}" -w >/dev/null 2>&1 || true
  fi
  local pid
  for pid in "${wine_env_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  wine_env_pids=()
  rm -f "$PLENARA_BUILD/.xvfb.pid" "$PLENARA_BUILD/.xvfb.display"
}
