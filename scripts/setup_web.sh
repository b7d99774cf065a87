#!/usr/bin/env bash
# Installs the npm packages of the web front's browser tests (tests/web) at
# the versions pinned in its package-lock.json, with the machine's own
# Node.js and npm. Idempotent: nothing is fetched when the pinned versions
# are already installed.
set -euo pipefail
cd "$(dirname "$0")/../tests/web"

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "setup_web: node and npm not found; the web tests need Node.js 20 or later with npm" >&2
  exit 1
fi

# The installed copy of every locked package must have the locked version.
if node -e '
  const lock = require("./package-lock.json").packages;
  for (const [path, entry] of Object.entries(lock)) {
    if (path === "") continue;
    let have = "";
    try { have = require("./" + path + "/package.json").version; } catch {}
    if (have !== entry.version) process.exit(1);
  }
' 2>/dev/null; then
  echo "setup_web: npm packages of tests/web present"
  exit 0
fi
echo "setup_web: installing the npm packages of tests/web"
npm ci --no-audit --no-fund
