#!/usr/bin/env bash
# Windows: cross-builds the core (with SQLite and libpq built from their Debian sources), its unit tests, the Windows serial backend and velmoor-cli.exe
# with Debian's mingw-w64 (statically linked), runs the tests as Windows programs under Wine,
# then the COM-port end-to-end test: vt-pty-unit serves the simulated unit on a pseudo-terminal,
# the Wine prefix maps COM4 to it, and the Windows programs talk to it through the Windows
# serial API (breaks reach the unit through vt-break-shim.so).
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

step "cross build"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DVT_WITH_QT=OFF -DVT_WITH_BENCH=OFF -DVT_PUGIXML_SOURCE_DIR="$root/$pugi" -DVT_SQLITE_SOURCE_DIR="$root/$sqlite" \
  -DVT_LIBPQ_DIR="$root/$out/libpq" \
  -DVT_GTEST_SOURCE_DIR=/usr/src/googletest "${launcher[@]}" >/dev/null
cmake --build "$out" -j"$(nproc)"
step "Linux helpers"
cmake -S . -B build "${launcher[@]}" >/dev/null
cmake --build build -j"$(nproc)" --target vt-pty-unit vt-break-shim

# A Wine prefix of our own; its first start takes a while (printed below).
export WINEPREFIX=$root/$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "new Wine prefix"
  wineboot -i >/dev/null 2>&1
fi
# Wine's server and services stay up between the programs, so each starts quickly. The services
# start with the first program and keep its output open: start them here, writing nowhere.
wine_up() { wineserver -w; wineserver -p >>"$out/wineserver.log" 2>&1; wineboot >/dev/null 2>&1 </dev/null; }
wine_up
pty_pid=""
pgdir=$root/$out/pg-site
cleanup() {
  [ -n "$pty_pid" ] && kill "$pty_pid" 2>/dev/null || true
  scripts/pg-test-server.sh stop "$pgdir" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

step "unit tests under Wine"
ctest --test-dir "$out" --output-on-failure -j"$(nproc)" -E '^win32$'

# COM4 is the pseudo-terminal: Wine's port map (HKLM\Software\Wine\Ports) names the link that
# vt-pty-unit keeps, and Wine makes dosdevices/com4 and the SERIALCOMM entry from it.
step "COM4 on the simulated unit"
link=$root/$out/com4-pty
fifo=$root/$out/com4-breaks
log=$root/$out/com4-unit.log
rm -f "$log"
build/vt-pty-unit --link "$link" --breaks "$fifo" --log "$log" --seconds 900 >"$out/com4-pty.txt" &
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
step "done"
