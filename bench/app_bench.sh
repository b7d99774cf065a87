#!/usr/bin/env bash
# Times the application (bench/app_bench.mjs) on the sample library and on a
# library of 2,000 documents made from it: each sample page is written again
# under 2,000 / 43 new names with its paragraphs in another order, so the
# documents differ while their words stay real.
#
#   bash bench/app_bench.sh [--documents N] [--runs N] [--build DIR]
#
# QORA is built in Release in build-bench/ at the top of the repository, or
# taken as it is from the build folder DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
documents=2000
runs=7
build=""
while [ $# -gt 0 ]; do
  case "$1" in
    --documents) documents="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --build) build="$(cd "$2" && pwd)"; shift 2 ;;
    *) echo "usage: app_bench.sh [--documents N] [--runs N] [--build DIR]" >&2; exit 2 ;;
  esac
done

bash scripts/setup.sh >/dev/null
bash scripts/setup_web.sh >/dev/null
if [ -z "$build" ]; then
  cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQORA_BUILD_TESTS=OFF -DQORA_BUILD_BENCH=OFF >/dev/null
  cmake --build build-bench -j "$(nproc)" --target qora >/dev/null
  build="$PWD/build-bench"
fi

work="$(mktemp -d)"
server=""
trap '[ -n "$server" ] && kill -TERM "$server" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" QORA_INSTALLED_DATA="$build/data"
unset QORA_SETTINGS QORA_DATA
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$work/many"
qora() { "$build/qora" --data "$work/data" "$@"; }
"$build/qora" init "$work/data" >/dev/null
qora lib new Sample >/dev/null
qora add-folder Sample samples/library --max-docs 200 --max-kb 100000 >/dev/null
python3 - "$work/many" "$documents" <<'PY'
import pathlib, random, re, sys
target, wanted = pathlib.Path(sys.argv[1]), int(sys.argv[2])
pages = sorted(pathlib.Path("samples/library").glob("*.html"))
made = 0
rounds = 0
while made < wanted:
    rounds += 1
    for page in pages:
        if made >= wanted:
            break
        text = page.read_text(encoding="utf-8", errors="replace")
        paragraphs = re.findall(r"<p>.*?</p>", text, flags=re.S)
        random.Random(f"{page.name}{rounds}").shuffle(paragraphs)
        title = re.search(r"<title>(.*?)</title>", text, flags=re.S)
        name = (title.group(1) if title else page.stem) + f" ({rounds})"
        body = "".join(paragraphs) or text
        (target / f"{page.stem}_{rounds}.html").write_text(
            f"<html><head><title>{name}</title></head><body>{body}</body></html>", encoding="utf-8")
        made += 1
PY
qora lib new Many >/dev/null
qora add-folder Many "$work/many" --depth 1 --max-docs "$documents" --max-kb 1000000 | tail -1

QORA_WEB="$build/web" "$build/qora" --data "$work/data" serve --no-browser --port 0 >"$work/serve.log" 2>&1 &
server=$!
address=""
for _ in $(seq 1 100); do
  address="$(sed -n 's/^QORA is at \(http[^ ]*\)$/\1/p' "$work/serve.log")"
  [ -n "$address" ] && break
  sleep 0.1
done
[ -n "$address" ] || { cat "$work/serve.log" >&2; exit 1; }
ident() { curl -s "${address}api/libraries" | python3 -c "import json,sys; print(next(l['ident'] for l in json.load(sys.stdin) if l['name']=='$1'))"; }
for library in Sample Many; do
  echo "== $library ($(curl -s "${address}api/libraries" | python3 -c "import json,sys; print(next(l['documents'] for l in json.load(sys.stdin) if l['name']=='$library'))") documents)"
  node bench/app_bench.mjs "$address" "$(ident "$library")" "transaction rollback journal" "$runs"
done
