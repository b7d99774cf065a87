#!/usr/bin/env bash
# Sets up the machine, builds QORA and runs it on the user data folder
# ($QORA_DATA, else $HOME/qoralibs), making that folder first when it is new.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -DQORA_BUILD_TESTS=OFF -DQORA_BUILD_BENCH=OFF
cmake --build build -j "$(nproc)" --target qora qora_data

data="${QORA_DATA:-$HOME/qoralibs}"
if [ ! -e "$data/main.ini" ]; then
  ./build/qora init "$data"
fi
./build/qora --data "$data" info
