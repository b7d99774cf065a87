#!/usr/bin/env bash
# Runs the web front's tests with Node's test runner.
#   run.sh unit      the pure modules (needs node only)
#   run.sh browser   the page in headless chromium against the mock server,
#                    or against the server at QORA_TEST_URL when it is set
# Exit 77 (skipped) when chromium is not installed.
set -euo pipefail
cd "$(dirname "$0")"

if ! command -v node >/dev/null; then
  echo "web tests: node not found; they need Node.js 20 or later" >&2
  exit 1
fi

case "${1:-}" in
  unit)
    exec node --test unit/*.test.mjs
    ;;
  browser)
    chromium="${QORA_CHROMIUM:-/usr/bin/chromium}"
    if [ ! -x "$chromium" ]; then
      echo "web tests: SKIPPED: chromium not found at $chromium (bash scripts/setup.sh installs it)"
      exit 77
    fi
    if [ ! -f node_modules/playwright-core/package.json ]; then
      echo "web tests: playwright-core is not installed; run: bash scripts/setup_web.sh" >&2
      exit 1
    fi
    # One file at a time: each starts its own browser, and the machine is shared.
    exec node --test --test-concurrency=1 browser/*.test.mjs
    ;;
  *)
    echo "usage: run.sh unit|browser" >&2
    exit 2
    ;;
esac
