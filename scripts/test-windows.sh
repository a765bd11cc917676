#!/usr/bin/env bash
# Windows: cross-builds the core (with SQLite and libpq built from their Debian sources), its unit
# tests, the Windows serial backend, velmoor-cli.exe (statically linked), and the window
# velmoor-terminal.exe with its tests against Qt for Windows (built from Debian's source by
# scripts/build-qt-windows.sh, or found in its cache), all with Debian's mingw-w64; runs the
# tests as Windows programs under Wine, then the COM-port end-to-end test: vt-pty-unit serves the
# simulated unit on a pseudo-terminal, the Wine prefix maps COM4 to it, and the Windows programs
# talk to it through the Windows serial API (breaks reach the unit through vt-break-shim.so).
# Last, the installer (scripts/windows-installer.sh): installed silently, the installed programs
# run (the window under Xvfb on the simulated unit, with a screenshot in docs/, and on COM4),
# uninstalled silently, and what is left checked.
# Builds into build-win/ (Windows) and build/ (the Linux helpers); prints the time of each step.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
VT_WITH_WINDOWS=1 scripts/install-deps.sh
out=build-win
mkdir -p "$out"
t0=$SECONDS
step() { echo "== $1 ($((SECONDS - t0)) s)"; }

# pugixml from its Debian source package, compiled into the cross build.
pugi=$(ls -d "$out"/pugixml-*/src 2>/dev/null | head -1 || true)
if [ -z "$pugi" ]; then
  step "pugixml source"
  (cd "$out" && apt-get source -q pugixml >/dev/null 2>&1)
  pugi=$(ls -d "$out"/pugixml-*/src | head -1)
fi

# SQLite from its Debian source package: that is SQLite's source tree, whose own build makes the
# amalgamation (sqlite3.c, the whole library in one file, written by a Tcl script); the cross
# build compiles it in.
sqlite=$out/sqlite-amalgamation
if [ ! -f "$sqlite/sqlite3.c" ]; then
  src=$(ls -d "$out"/sqlite3-*/ 2>/dev/null | head -1 || true)
  if [ -z "$src" ]; then
    step "SQLite source"
    (cd "$out" && apt-get source -q sqlite3 >/dev/null 2>&1)
    src=$(ls -d "$out"/sqlite3-*/ | head -1)
  fi
  step "SQLite amalgamation"
  mkdir -p "$sqlite"
  (cd "$sqlite" && "$root/$src/configure" --disable-tcl >configure.log 2>&1 && make sqlite3.c >make.log 2>&1)
fi

# libpq (the site server's client) from Debian's postgresql-15 source package, as static libraries.
step "libpq"
scripts/build-libpq-windows.sh "$out/libpq"

# Qt for Windows: from its cache, or built (the first time on a machine, about half an hour on
# two free cores).
step "Qt for Windows"
qt=$(scripts/build-qt-windows.sh)
echo "Qt for Windows: $qt"

# Qt's toolchain file finds that Qt and the host's tools, and hands the compiler to ours. A build
# folder set up with another toolchain file (or another Qt) starts its configuration anew.
step "cross build"
if [ -f "$out/CMakeCache.txt" ] &&
  ! grep -q "^CMAKE_TOOLCHAIN_FILE:[A-Z]*=$qt/lib/cmake/Qt6/qt.toolchain.cmake$" "$out/CMakeCache.txt"; then
  rm -rf "$out/CMakeCache.txt" "$out/CMakeFiles"
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DVT_WITH_QT=ON -DVT_WITH_BENCH=OFF -DVT_PUGIXML_SOURCE_DIR="$root/$pugi" -DVT_SQLITE_SOURCE_DIR="$root/$sqlite" \
  -DVT_LIBPQ_DIR="$root/$out/libpq" \
  -DVT_GTEST_SOURCE_DIR=/usr/src/googletest "${launcher[@]}" >/dev/null
cmake --build "$out" -j"$(nproc)"
step "Linux helpers"
cmake -S . -B build "${launcher[@]}" >/dev/null
cmake --build build -j"$(nproc)" --target vt-pty-unit vt-break-shim

# An X server without a screen for the windows that Wine opens (the window's tests draw
# offscreen; the installed window draws here).
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=:$display

# A Wine prefix of our own; its first start takes a while (printed below).
export WINEPREFIX=$root/$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "new Wine prefix"
  wineboot -i >/dev/null 2>&1
fi
# The Qt programs of the build find Qt's DLLs and the compiler's runtime DLLs on Wine's path.
WINEPATH="$(winepath -w "$qt/bin");$(winepath -w "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")")"
WINEPATH+=";$(winepath -w "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")")"
export WINEPATH
# Fonts as a Windows PC has them: Debian's DejaVu and Liberation fonts in the prefix's Fonts
# folder, Liberation's faces standing in for Times New Roman, Arial and Courier New and DejaVu
# Sans for the system's dialog faces (Wine's own Tahoma is not installed). Qt's offscreen
# platform on Windows reads its fonts with FreeType from one folder (QT_QPA_FONTDIR): the same.
fonts=$WINEPREFIX/drive_c/windows/Fonts
mkdir -p "$fonts"
for f in /usr/share/fonts/truetype/dejavu/DejaVuSans*.ttf /usr/share/fonts/truetype/dejavu/DejaVuSerif*.ttf \
         /usr/share/fonts/truetype/liberation/*.ttf; do
  [ -f "$fonts/$(basename "$f")" ] || cp "$f" "$fonts/"
done
for r in "Times New Roman=Liberation Serif" "Arial=Liberation Sans" "Courier New=Liberation Mono" \
         "MS Sans Serif=Liberation Sans" "Microsoft Sans Serif=Liberation Sans" "MS Shell Dlg=DejaVu Sans" \
         "MS Shell Dlg 2=DejaVu Sans" "Tahoma=DejaVu Sans" "Segoe UI=DejaVu Sans"; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${r%%=*}" /d "${r#*=}" /f >/dev/null 2>&1
done
QT_QPA_FONTDIR=$(winepath -w "$fonts")
export QT_QPA_FONTDIR
# Wine's server and services stay up between the programs, so each starts quickly. The services
# start with the first program and keep its output open: start them here, writing nowhere.
wine_up() { wineserver -w; wineserver -p >>"$out/wineserver.log" 2>&1; wineboot >/dev/null 2>&1 </dev/null; }
wine_up
pty_pid=""
pgdir=$root/$out/pg-site
window_pid=""
cleanup() {
  [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null || true
  [ -n "$pty_pid" ] && kill "$pty_pid" 2>/dev/null || true
  scripts/pg-test-server.sh stop "$pgdir" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# The window's tests run last (below), after the installed window.
qt_tests='^(qt|window_screenshots|quickset_dialogs_qt)$'
step "unit tests under Wine"
ctest --test-dir "$out" --output-on-failure -j"$(nproc)" -E "^win32\$|$qt_tests"

# The dossier of a unit with 1,000 visits, drawn offscreen: its time against the target of 1 s.
step "dossier of 1,000 visits under Wine"
QT_QPA_PLATFORM=offscreen wine "$out/qt/bench_dossier.exe" 1000 | tr -d '\r'

# COM4 is the pseudo-terminal: Wine's port map (HKLM\Software\Wine\Ports) names the link that
# vt-pty-unit keeps, and Wine makes dosdevices/com4 and the SERIALCOMM entry from it.
step "COM4 on the simulated unit"
link=$root/$out/com4-pty
fifo=$root/$out/com4-breaks
log=$root/$out/com4-unit.log
rm -f "$log"
build/vt-pty-unit --link "$link" --breaks "$fifo" --log "$log" --seconds 3600 >"$out/com4-pty.txt" &
pty_pid=$!
for _ in $(seq 50); do [ -L "$link" ] && [ -s "$out/com4-pty.txt" ] && break; sleep 0.1; done
slave=$(head -1 "$out/com4-pty.txt")
wine reg add 'HKLM\Software\Wine\Ports' /v COM4 /d "$link" /f >/dev/null 2>&1
wineserver -k || true  # the port map is read when Wine starts
wine_up
[ "$(readlink "$WINEPREFIX/dosdevices/com4")" = "$link" ] || ln -sfn "$link" "$WINEPREFIX/dosdevices/com4"
export VT_BREAK_TTY=$slave VT_BREAK_FIFO=$fifo LD_PRELOAD=$root/build/vt-break-shim.so

step "Windows serial backend on COM4"
VT_TEST_COM=4 ctest --test-dir "$out" --output-on-failure -R '^win32$'
grep -q '^9600 <break>' "$log" || { echo "no break reached the unit"; exit 1; }
grep -q '^38400 S' "$log" || { echo "no record went at 38400 bit/s"; exit 1; }

# velmoor-cli.exe: the simulated unit inside the program, then the unit on COM4.
cli=$(ls "$out"/cli/velmoor-cli.exe "$out"/velmoor-cli.exe 2>/dev/null | head -1 || true)
if [ -n "$cli" ]; then
  data=$(mktemp -d)
  run() {  # run EXPECTED-EXIT-CODE ARGS...: the program's output goes to $out/cli-out.txt
    local want=$1 rc=0
    shift
    wine "$cli" --root "$data" "$@" >"$out/cli-out.txt" 2>"$out/cli-err.txt" || rc=$?
    echo "velmoor-cli.exe $* -> exit code $rc"
    if [ "$rc" != "$want" ]; then cat "$out/cli-out.txt" "$out/cli-err.txt"; exit 1; fi
  }
  step "velmoor-cli.exe --simulate status"
  run 0 --simulate status
  step "velmoor-cli.exe history"
  # A fresh history takes in the status file the first read left when a unit command opens it
  # (the read commands only read).
  run 0 --history "$data/history.sqlite" --simulate status
  # The default store (%LOCALAPPDATA%\Velmoor in the Wine prefix) answers too.
  run 0 --history "$data/history.sqlite" history 1A2B3C
  grep -q "Imported from Current-Status.xml" "$out/cli-out.txt" || { echo "no imported visit"; exit 1; }
  run 0 --history "$data/history.sqlite" due --json
  grep -q '"releaseTestDue": true' "$out/cli-out.txt" || { echo "no due flags"; exit 1; }
  run 0 --history "$data/history.sqlite" diff 1A2B3C
  grep -q "No differences" "$out/cli-out.txt" || { echo "the imported visit and the read differ"; exit 1; }
  run 0 due
  step "velmoor-cli.exe on COM4"
  run 0 --port 4 status
  run 0 --port 4 --yes load "$root/tools/samples/sample-small.a07"
  grep -q "Programming complete" "$out/cli-out.txt" || { echo "no closing report"; exit 1; }
  run 0 --port 4 status

  # The site server: a PostgreSQL server on this machine, reached over TCP from the Windows
  # program, which logs in with the password in its libpq password file (no TLS in this build).
  step "velmoor-cli.exe and a site server"
  scripts/pg-test-server.sh start "$pgdir"
  port=$(sed -n 's/^PGPORT=//p' "$pgdir/env")
  sql() { PGOPTIONS="-c client_min_messages=warning" psql -h "$pgdir" -p "$port" -U postgres -qAt "$@"; }
  sql -d postgres -c "DROP DATABASE IF EXISTS winsite" -c "DROP ROLE IF EXISTS velmoor_win" \
    -c "CREATE ROLE velmoor_win LOGIN PASSWORD 'win-bench'" -c "CREATE DATABASE winsite OWNER velmoor_win"
  printf '127.0.0.1:%s:winsite:velmoor_win:win-bench\n' "$port" >"$pgdir/pgpass"
  chmod 600 "$pgdir/pgpass"
  PGPASSFILE=$(winepath -w "$pgdir/pgpass")
  export PGPASSFILE
  site="host=127.0.0.1 port=$port dbname=winsite user=velmoor_win sslmode=disable"
  h=(--history "$data/site-history.sqlite" --site "$site")
  run 0 "${h[@]}" site init
  run 0 "${h[@]}" --simulate status
  run 0 "${h[@]}" site push
  run 0 "${h[@]}" site status
  grep -q "waiting: 0 events" "$out/cli-out.txt" || { echo "events left waiting"; exit 1; }
  [ "$(sql -d winsite -c "SELECT count(*) FROM velmoor_event WHERE action = 'General Status'")" = 1 ] ||
    { echo "the status read is not on the site once"; exit 1; }
  run 0 "${h[@]}" history 1A2B3C
  grep -q "General Status: done" "$out/cli-out.txt" || { echo "no visit read from the site"; exit 1; }
  printf '127.0.0.1:%s:winsite:velmoor_win:not-it\n' "$port" >"$pgdir/pgpass"
  run 1 "${h[@]}" site status
  grep -q "password" "$out/cli-err.txt" || { echo "a refused password not told"; exit 1; }
  unset PGPASSFILE
  scripts/pg-test-server.sh stop "$pgdir"
  rm -rf "$data"
else
  echo "velmoor-cli.exe is not in this tree: its steps are skipped"
fi

# The installer, installed silently under Wine.
step "installer"
msi=$(scripts/windows-installer.sh "$out" "$qt")
echo "$(basename "$msi"): $(($(stat -c %s "$msi") / 1024)) KiB"
program_dir="$WINEPREFIX/drive_c/Program Files/Velmoor/Velmoor Test Terminal"
start_menu() { find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Velmoor Test Terminal.lnk' | head -1; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
step "silent install"
wine msiexec /i "$(winepath -w "$msi")" /qn >"$out/msiexec.log" 2>&1 || { cat "$out/msiexec.log"; echo "the silent install failed"; exit 1; }
for f in velmoor-terminal.exe velmoor-cli.exe Qt6Core.dll Qt6Widgets.dll platforms/qwindows.dll libstdc++-6.dll; do
  [ -f "$program_dir/$f" ] || { echo "not installed: $f"; ls -R "$program_dir" 2>/dev/null | head -30; exit 1; }
done
[ -n "$(start_menu)" ] || { echo "no Start-menu entry"; exit 1; }
wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | grep -q "DisplayName.*Velmoor Test Terminal" ||
  { echo "no uninstall entry"; exit 1; }
# The installed programs find every DLL beside them: Wine's path to the build's DLLs is cleared.
saved_winepath=$WINEPATH
export WINEPATH=""
installed_cli=$(winepath -w "$program_dir/velmoor-cli.exe")
installed_window=$(winepath -w "$program_dir/velmoor-terminal.exe")
version=$(sed -n 's/.*kProgramVersion = "\(.*\)";/\1/p' "$out/generated/platform/version.h")
[ "$(wine "$installed_cli" --version | tr -d '\r')" = "velmoor-cli $version" ] || { echo "the installed velmoor-cli.exe does not run"; exit 1; }
# The window's own history (%LOCALAPPDATA%\Velmoor) and data folder (C:\Dranmere), as an
# operator's would be.
data_dir="$WINEPREFIX/drive_c/Dranmere/T7Status"
history_file="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Velmoor/history.sqlite"
wine "$installed_cli" --simulate status >"$out/cli-out.txt" 2>&1 || { cat "$out/cli-out.txt"; echo "the installed velmoor-cli.exe failed"; exit 1; }
[ -f "$data_dir/Current-Status.xml" ] || { echo "no status file in C:\\Dranmere\\T7Status"; exit 1; }

# The installed window under Xvfb: started, found by its title, General Status (the default
# button: Enter), then "History" (a click at its place in the window's dialog units), each
# window photographed. The time from start to the main window shown is measured (Wine's server
# already runs, so its own first start is not in it).
window_id() { xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1; }
photo() { xwd -silent -id "$1" | xwdtopnm 2>/dev/null | pnmtopng >"$2"; }
wait_for() {  # wait_for SECONDS CONDITION...
  local until=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $until ] || return 1; sleep 0.2; done
}
newer() { [ -f "$1" ] && [ "$1" -nt "$2" ]; }
# press WINDOW FILE: Enter in the window (its default button, "General Status") until FILE is
# written anew; the first press may come while the start-up search still holds the window.
press() {
  local try
  for try in 1 2 3 4; do
    xdotool windowfocus "$1" 2>/dev/null || true
    xdotool key Return
    wait_for 30 newer "$2" "$out/mark" && return 0
  done
  return 1
}
step "installed window on the simulated unit"
t_start=$(date +%s.%N)
wine "$installed_window" --simulate >"$out/window.log" 2>&1 &
window_pid=$!
main=$(timeout 60 bash -c "$(declare -f window_id); window_id 'Dranmere Test terminal V'") || true
[ -n "$main" ] || { echo "the installed window did not open"; cat "$out/window.log"; exit 1; }
t_shown=$(date +%s.%N)
awk -v a="$t_start" -v b="$t_shown" 'BEGIN { printf "main window shown after %.2f s / target 2 s = %.2f\n", b - a, (b - a) / 2 }'
sleep 3
touch "$out/mark"
press "$main" "$data_dir/Current-Status.xml" || { echo "General Status wrote no status file"; exit 1; }
sleep 2
photo "$main" docs/windows-main-window.png
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" $((WIDTH * 457 / 527)) $((HEIGHT * 107 / 370)) click 1
dossier=$(timeout 30 bash -c "$(declare -f window_id); window_id 'History of unit'") || true
[ -n "$dossier" ] || { echo "the dossier did not open"; exit 1; }
sleep 2
photo "$dossier" docs/windows-dossier.png
[ -f "$history_file" ] || { echo "no history in %LOCALAPPDATA%\\Velmoor"; exit 1; }
kill "$window_pid" 2>/dev/null || true
wait "$window_pid" 2>/dev/null || true
window_pid=""

# The window on COM4: the start-up search finds the unit there, and General Status reads it.
step "installed window on COM4"
lines_before=$(wc -l <"$log")
wine "$installed_window" --no-history >"$out/window.log" 2>&1 &
window_pid=$!
main=$(timeout 60 bash -c "$(declare -f window_id); window_id 'Dranmere Test terminal V'") || true
[ -n "$main" ] || { echo "the installed window did not open"; cat "$out/window.log"; exit 1; }
wait_for 120 bash -c "[ \$(wc -l <'$log') -gt $lines_before ]" || { echo "the start-up search did not reach COM4"; exit 1; }
sleep 5
touch "$out/mark"
lines_before=$(wc -l <"$log")
press "$main" "$data_dir/Current-Status.xml" || { echo "General Status on COM4 wrote no status file"; exit 1; }
[ "$(wc -l <"$log")" -gt "$lines_before" ] || { echo "General Status did not go to COM4"; exit 1; }
photo "$main" "$out/windows-main-window-com4.png"
kill "$window_pid" 2>/dev/null || true
wait "$window_pid" 2>/dev/null || true
window_pid=""

# Uninstalled silently: the program files, the Start-menu entry and the uninstall entry go; the
# data folder and the history stay.
step "silent uninstall"
wine msiexec /x "$(winepath -w "$msi")" /qn >"$out/msiexec.log" 2>&1 || { cat "$out/msiexec.log"; echo "the silent uninstall failed"; exit 1; }
[ ! -e "$program_dir" ] || { echo "left behind:"; find "$program_dir"; exit 1; }
[ -z "$(start_menu)" ] || { echo "the Start-menu entry is left"; exit 1; }
! wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | grep -q "DisplayName.*Velmoor Test Terminal" ||
  { echo "the uninstall entry is left"; exit 1; }
[ -f "$data_dir/Current-Status.xml" ] || { echo "the uninstall took the data folder"; exit 1; }
[ -f "$history_file" ] || { echo "the uninstall took the history"; exit 1; }
export WINEPATH=$saved_winepath

step "window tests under Wine"
ctest --test-dir "$out" --output-on-failure -j"$(nproc)" -R "$qt_tests"
step "done"
