#!/usr/bin/env bash
# Installs every Debian package QORA needs to build, test and run, and the
# packages named as arguments (the benchmarks name what they compare with).
# Idempotent and non-interactive: packages already present are left alone,
# and nothing is fetched when all of them are there.
set -euo pipefail

packages=(
  build-essential
  cmake
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libmetis-dev
  libcurl4-openssl-dev
  libtidy-dev
  poppler-utils
  libcpp-httplib-dev
  libcli11-dev
  libpcre2-dev
  nlohmann-json3-dev
  python3
  # The browser that the tests of the web front (tests/web) drive headless.
  chromium
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
