#!/usr/bin/env bash
# Runs the site server's set-up as docs/site.md gives it, on a throwaway server of Debian's
# PostgreSQL (scripts/pg-test-server.sh) with TLS and a site CA of its own, then drives
# velmoor-cli as the bench role with exactly the document's grants: a status read sent, push,
# site status, history, diff and due, a bench's own login, the service file; and the report
# queries as the reports role. The SQL is taken from the document's sql blocks (1: roles and
# database, 2: grants, 3 on: reports) and its pg_hba.conf line, so the check follows the text.
# Needs the build (build/cli/velmoor-cli, or BUILD_DIR) and openssl. Exits 1 at the first step
# that fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$root/${BUILD_DIR:-build}/cli/velmoor-cli
doc=$root/docs/site.md
[ -x "$cli" ] || { echo "build velmoor-cli first ($cli)" >&2; exit 2; }
w=$(mktemp -d /tmp/vt-site-check-XXXXXX)
chmod 755 "$w"
srv=$w/server
trap '"$root/scripts/pg-test-server.sh" stop "$srv"; rm -rf "$w"' EXIT

# The document's nth sql block.
sql_block() { awk -v n="$1" '/^```sql$/ {k++; on = (k == n); next} /^```$/ {on = 0} on' "$doc"; }
step() { echo "== $*"; }
fail() { echo "FAILED: $*" >&2; exit 1; }

"$root/scripts/pg-test-server.sh" start "$srv"
# shellcheck disable=SC1091
. "$srv/env"
cd "$w"
# TLS: the site's CA, and the server's certificate for the name the benches use (localhost).
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 7 -subj "/CN=Velmoor site CA" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=localhost" 2>/dev/null
printf 'subjectAltName=DNS:localhost\n' >san.ext
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out server.crt -days 7 -extfile san.ext \
  2>/dev/null
install -m 600 server.crt server.key "$srv/data/"
[ "$(id -u)" = 0 ] && chown velmoor-pgtest "$srv/data/server.crt" "$srv/data/server.key"
printf "ssl = on\nssl_cert_file = 'server.crt'\nssl_key_file = 'server.key'\n" >>"$srv/data/postgresql.conf"
# The document's pg_hba.conf line for this machine's address, and no other line over TCP.
hba=$(grep -E '^hostssl +velmoor ' "$doc" | head -1)
[ -n "$hba" ] || fail "no hostssl line in $doc"
{ echo "$hba" | awk '{$4 = "127.0.0.1/32"; print}'; grep -v '^host' "$srv/data/pg_hba.conf"; } >hba.conf
cp hba.conf "$srv/data/pg_hba.conf"
"$root/scripts/pg-test-server.sh" stop "$srv"
"$root/scripts/pg-test-server.sh" start "$srv"
super=(psql -X -q -v ON_ERROR_STOP=1 -h "$PGHOST" -p "$PGPORT" -U postgres)

step "roles and database (the document's first sql block, as the superuser)"
sql_block 1 | "${super[@]}" -d postgres
for r in velmoor_owner velmoor_bench velmoor_reports; do
  "${super[@]}" -d postgres -c "ALTER ROLE $r PASSWORD '$r-secret'"
  echo "localhost:$PGPORT:velmoor:$r:$r-secret" >>pgpass
done
chmod 600 pgpass
export PGPASSFILE=$w/pgpass HOME=$w XDG_DATA_HOME=$w/data
unset PGHOST PGUSER
tls="host=localhost port=$PGPORT dbname=velmoor sslmode=verify-full sslrootcert=$w/ca.crt"
owner="$tls user=velmoor_owner"
bench="$tls user=velmoor_bench"
reports="$tls user=velmoor_reports"
h=(--history "$w/h.sqlite")

step "site init as the owner"
"$cli" site init --site "$owner" | grep -q "were made (version" || fail "site init"
step "grants (the document's second sql block, as the owner)"
sql_block 2 | psql -X -q -v ON_ERROR_STOP=1 "$owner"

step "as velmoor_bench: three status reads sent, push, site status, history, diff, due"
for _ in 1 2 3; do "$cli" --simulate "${h[@]}" --site "$bench" status >/dev/null 2>&1 || fail "status"; done
"$cli" "${h[@]}" --site "$bench" site push || fail "site push"
"$cli" "${h[@]}" --site "$bench" site status | tee status.txt
grep -q "state: up to date" status.txt || fail "site status"
grep -q "server: 3 events, 1 units" status.txt || fail "the events on the site"
unit=$(psql -X -At "$bench" -c "SELECT upper(lpad(to_hex(unit_id), 6, '0')) FROM velmoor_unit")
"$cli" "${h[@]}" --site "$bench" history "$unit" 2>&1 | tee history.txt
[ "$(grep -c '^#' history.txt)" = 3 ] || fail "history from the site"
"$cli" "${h[@]}" --site "$bench" diff "$unit" >/dev/null || fail "diff"
"$cli" "${h[@]}" --site "$bench" due 2>&1 | tee due.txt
grep -q "showing this PC's own" due.txt && fail "due did not read the site"
step "velmoor_bench cannot change or delete an event"
psql -X -q "$bench" -c "DELETE FROM velmoor_event" 2>/dev/null && fail "a bench deleted events"
psql -X -q "$bench" -c "UPDATE velmoor_event SET outcome = ''" 2>/dev/null && fail "a bench changed events"

step "the service file and site = service=velmoor beside the history"
printf '[velmoor]\nhost=localhost\nport=%s\ndbname=velmoor\nuser=velmoor_bench\nsslmode=verify-full\nsslrootcert=%s\n' \
  "$PGPORT" "$w/ca.crt" >"$w/.pg_service.conf"
echo "site = service=velmoor" >"$w/history-settings.txt"
"$cli" --simulate "${h[@]}" status >/dev/null 2>&1
"$cli" "${h[@]}" site status | grep -q "server: 4 events" || fail "the service file"

step "without TLS: refused"
if "$cli" "${h[@]}" --site "host=localhost port=$PGPORT dbname=velmoor user=velmoor_bench sslmode=disable" \
  site status >/dev/null 2>&1; then fail "a connection without TLS was let in"; fi

step "reports (the document's other sql blocks, as velmoor_reports)"
n=3
while [ -n "$(sql_block $n)" ]; do
  sql_block $n | psql -X -q -v ON_ERROR_STOP=1 "$reports" >/dev/null || fail "report query $n"
  n=$((n + 1))
done
psql -X -q "$reports" -c "SELECT count(*) FROM velmoor_unit" 2>/dev/null && fail "reports read a table"
echo "site set-up of docs/site.md: all steps passed"
