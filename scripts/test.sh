#!/usr/bin/env bash
# Sets up the machine, builds QORA with its tests and runs every test.
# BUILD_DIR and CMAKE_ARGS choose another build (the sanitizer build uses them);
# CTEST_ARGS are added to ctest's arguments.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# The npm packages of the web front's browser tests (tests/web).
bash scripts/setup_web.sh
build="${BUILD_DIR:-build}"
# Tests are switched on explicitly: scripts/run.sh builds the same folder
# without them. Warnings are errors here, as in CI.
# shellcheck disable=SC2086
cmake -S . -B "$build" -DQORA_BUILD_TESTS=ON -DQORA_WERROR=ON ${CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"
# shellcheck disable=SC2086
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" ${CTEST_ARGS:-}
