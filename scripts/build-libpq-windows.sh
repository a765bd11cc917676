#!/usr/bin/env bash
# libpq, PostgreSQL's client library, for 64-bit Windows: cross-built with Debian's mingw-w64
# (posix threads) from Debian's own postgresql-15 source package, as static libraries.
#
#   scripts/build-libpq-windows.sh OUTDIR
#
# makes OUTDIR/include (libpq-fe.h, postgres_ext.h, pg_config_ext.h) and OUTDIR/lib (libpq.a,
# libpgcommon_shlib.a, libpgport_shlib.a: link them in that order, then ws2_32 and secur32).
# The source and its build stay in OUTDIR/work; a second run with the libraries made does nothing.
#
# Built without OpenSSL (Debian has no OpenSSL for mingw-w64): the connection is never TLS, so
# sslmode=disable, allow and prefer connect in plain text, and require, verify-ca and verify-full
# are refused by libpq ("sslmode value ... invalid when SSL support is not compiled in").
# Passwords (scram-sha-256, md5) and Windows' SSPI logins work; GSSAPI, LDAP lookups and
# compression are left out.
#
# Two changes to what PostgreSQL's build makes, so that the libraries link statically into a
# program with C++ threads:
# - libpq brings its own small pthread_* functions for Windows, whose names clash with the
#   toolchain's winpthreads (libstdc++'s threads): libpq's are renamed pq_pthread_*.
# - libpgcommon defines _CRT_glob (the C runtime's wildcard switch for the command line): it is
#   made local, so a program keeps the toolchain's own setting.
# Needs (VT_WITH_WINDOWS=1 scripts/install-deps.sh): gcc-mingw-w64-x86-64-posix, make, perl and
# the deb-src index.
set -euo pipefail
out=${1:?the output folder}
host=x86_64-w64-mingw32
mkdir -p "$out"
out=$(cd "$out" && pwd)
libs=(libpq.a libpgcommon_shlib.a libpgport_shlib.a)
headers=(libpq-fe.h postgres_ext.h pg_config_ext.h)
done_already=1
for f in "${libs[@]/#/lib/}" "${headers[@]/#/include/}"; do [ -f "$out/$f" ] || done_already=0; done
[ "$done_already" = 1 ] && exit 0
command -v "$host-gcc-posix" >/dev/null || { echo "$host-gcc-posix is missing: run VT_WITH_WINDOWS=1 scripts/install-deps.sh" >&2; exit 1; }
t0=$SECONDS
step() { echo "== libpq for Windows: $1 ($((SECONDS - t0)) s)"; }
work=$out/work
mkdir -p "$work"

# The source package. The index may name a newer version than the mirror still holds: then the
# other versions the index knows are tried, newest first.
src=$(ls -d "$work"/postgresql-15-*/ 2>/dev/null | head -1 || true)
if [ -z "$src" ]; then
  step "PostgreSQL source"
  if ! (cd "$work" && apt-get source -q postgresql-15 >source.log 2>&1); then
    for v in $(apt-cache showsrc postgresql-15 | sed -n 's/^Version: //p' | sort -rV); do
      (cd "$work" && apt-get source -q "postgresql-15=$v" >>source.log 2>&1) && break
    done
  fi
  src=$(ls -d "$work"/postgresql-15-*/ 2>/dev/null | head -1 || true)
  [ -n "$src" ] || { tail -5 "$work/source.log" >&2; echo "apt-get source postgresql-15 failed" >&2; exit 1; }
fi
src=${src%/}

# Configured for the Windows host in a folder of its own, with every optional library off.
build=$work/build
if [ ! -f "$build/config.status" ]; then
  step "configure"
  rm -rf "$build"
  mkdir -p "$build"
  (cd "$build" && CC=$host-gcc-posix CFLAGS=-O2 "$src/configure" --host=$host --without-readline \
    --without-zlib --without-icu --without-openssl --without-gssapi --without-ldap --without-lz4 \
    --without-zstd --without-libxml --without-llvm --disable-nls >configure.log 2>&1) ||
    { tail -20 "$build/configure.log" >&2; exit 1; }
fi

# Only what libpq needs: the generated headers, the shared-library variants of libpgport and
# libpgcommon (position-independent, without the server's error reporting) and libpq's objects.
step "build"
jobs=$(nproc)
m() { make -C "$build/src/$1" -j"$jobs" NO_GENERATED_HEADERS=1 "${@:2}" >>"$build/make.log" 2>&1 ||
  { tail -20 "$build/make.log" >&2; exit 1; }; }
m backend generated-headers
m port libpgport_shlib.a
m common libpgcommon_shlib.a
# shellcheck disable=SC2016
objs=$(make -s -C "$build/src/interfaces/libpq" NO_GENERATED_HEADERS=1 \
  --eval='vt-objs: ; @echo $(filter-out win32ver.o,$(OBJS))' vt-objs)
# shellcheck disable=SC2086
m interfaces/libpq $objs

step "static libraries"
rm -rf "${out:?}/lib" "${out:?}/include"
mkdir -p "$out/lib" "$out/include"
# shellcheck disable=SC2086
(cd "$build/src/interfaces/libpq" && rm -f "$out/lib/libpq.a" && $host-ar crs "$out/lib/libpq.a" $objs)
printf 'pthread_%s pq_pthread_%s\n' getspecific getspecific mutex_init mutex_init mutex_lock mutex_lock \
  mutex_unlock mutex_unlock self self setspecific setspecific >"$work/pthread.syms"
$host-objcopy --redefine-syms="$work/pthread.syms" "$out/lib/libpq.a"
cp "$build/src/port/libpgport_shlib.a" "$build/src/common/libpgcommon_shlib.a" "$out/lib/"
$host-objcopy --localize-symbol=_dowildcard "$out/lib/libpgcommon_shlib.a"
cp "$src/src/interfaces/libpq/libpq-fe.h" "$src/src/include/postgres_ext.h" "$build/src/include/pg_config_ext.h" \
  "$out/include/"
basename "$src" >"$out/VERSION"
step "done"
