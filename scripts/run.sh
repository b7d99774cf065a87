#!/usr/bin/env bash
# Sets up the machine, builds QORA and runs it on the user data folder
# ($QORA_DATA, else $HOME/qoralibs), making that folder first when it is new.
# The first run imports the bundled sample documents into the library
# "Sample"; every run then researches it on the command line and starts the
# application on it (Ctrl-C ends it). Arguments go to `qora serve`, e.g.
# --no-browser or --port N.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -DQORA_BUILD_TESTS=OFF -DQORA_BUILD_BENCH=OFF
cmake --build build -j "$(nproc)" --target qora

data="${QORA_DATA:-$HOME/qoralibs}"
qora() { ./build/qora --data "$data" "$@"; }
if [ ! -e "$data/main.ini" ]; then
  ./build/qora init "$data"
fi
# The page cleaner and the PDF converter are programs, not user data: a data
# folder made by an older build gets the current ones.
for program in cln.exe hlp22.exe; do
  install -m 755 "build/data/$program" "$data/$program"
done
qora info

if ! qora lib list | grep -q '^Sample '; then
  qora lib new Sample >/dev/null
fi
if [ "$(qora docs Sample | wc -l)" -le 1 ]; then
  echo "Importing the sample documents into the library Sample..."
  qora add-folder Sample samples/library --depth 2 --max-kb 100000 --max-docs 200
fi
qora docs Sample
echo
echo "Research: qora research --lib Sample --keywords \"transaction rollback journal\""
qora research --lib Sample --keywords "transaction rollback journal" --count 5

echo
echo "Starting the application on $data (Ctrl-C ends it)..."
exec ./build/qora --data "$data" serve "$@"
