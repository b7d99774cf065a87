#!/usr/bin/env bash
# The browser tests of the application as a user runs it: `qora serve` on a
# data folder with the sample library, its settings and lock in folders of
# the test's own, driven by headless chromium.
#   run_real.sh BUILD_DIR
# Exit 77 (skipped) when chromium is not installed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
source_dir="$(cd "$here/../../.." && pwd)"
chromium="${QORA_CHROMIUM:-/usr/bin/chromium}"
if [ ! -x "$chromium" ]; then
  echo "web tests: SKIPPED: chromium not found at $chromium (bash scripts/setup.sh installs it)"
  exit 77
fi

work="$(mktemp -d)"
server=""
cleanup() {
  if [ -n "$server" ] && kill -0 "$server" 2>/dev/null; then kill -KILL "$server"; fi
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" QORA_INSTALLED_DATA="$build/data"
unset QORA_SETTINGS QORA_DATA
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
qora() { "$build/qora" --data "$work/data" "$@"; }
"$build/qora" init "$work/data" >/dev/null
qora lib new Sample >/dev/null
qora add-folder Sample "$source_dir/samples/library" --max-docs 200 --max-kb 100000 >/dev/null
qora lib new Empty >/dev/null

# Made before the server starts, so the wait below never reads a missing log.
: >"$work/serve.log"
# Without a display the server opens no file the tests export.
QORA_WEB="$build/web" env -u DISPLAY -u WAYLAND_DISPLAY "$build/qora" --data "$work/data" serve \
  --no-browser --port 0 >"$work/serve.log" 2>&1 &
server=$!
address=""
for _ in $(seq 1 100); do
  address="$(sed -n 's/^QORA is at \(http[^ ]*\)$/\1/p' "$work/serve.log")"
  [ -n "$address" ] && break
  sleep 0.1
done
if [ -z "$address" ]; then
  echo "qora serve did not start:" >&2
  cat "$work/serve.log" >&2
  exit 1
fi

status=0
QORA_TEST_URL="$address" QORA_PROGRAM="$build/qora" QORA_WEB="$build/web" QORA_TEST_DATA="$work/data" \
  node --test --test-concurrency=1 "$here"/*.test.mjs || status=$?

# A clean end: SIGTERM, exit status 0, settings saved with the clean mark.
kill -TERM "$server"
served=0
wait "$server" || served=$?
server=""
if [ "$served" -ne 0 ]; then
  echo "qora serve ended with status $served:" >&2
  cat "$work/serve.log" >&2
  status=1
fi
if ! grep -q '^gracefullyTerminated=1$' "$XDG_CONFIG_HOME/qora/settings.ini"; then
  echo "the settings were not saved with gracefullyTerminated=1" >&2
  status=1
fi
exit "$status"
