#!/usr/bin/env bash
# Measures importing a folder of real HTML pages into a QORA library (the
# import processes every page: cleaning, DML document, index), beside two
# desktop indexers, recollindex and omindex, indexing the same folder in the
# same run.
#
#   bash bench/import_bench.sh [--files N] [--no-qora] [--keep]
#
#   --files N   pages to copy into the test folder (default 400; the Python
#               3.11 documentation has 498 once its generated indexes and
#               search page are left out)
#   --no-qora   skip building and running QORA (times the other two only)
#   --keep      keep the temporary folder (pages, data folder, indexes)
#
# The pages come from Debian's python3.11-doc (/usr/share/doc/python3.11/html)
# and keep their sub-folders. Missing packages (python3.11-doc, recollcmd,
# xapian-omega, time) are installed with apt-get, with sudo when not root.
# QORA is built in Release in build-bench/ at the top of the repository.
set -euo pipefail

files=400
run_qora=1
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --files)
      [ $# -ge 2 ] || { echo "import_bench: --files needs a number" >&2; exit 2; }
      files="$2"
      shift 2
      ;;
    --no-qora) run_qora=0; shift ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,18p' "$0"; exit 0 ;;
    *) echo "import_bench: unknown argument $1" >&2; exit 2 ;;
  esac
done
case "$files" in
  ''|*[!0-9]*) echo "import_bench: --files takes a whole number" >&2; exit 2 ;;
esac
if [ "$files" -lt 1 ]; then
  echo "import_bench: --files must be at least 1" >&2
  exit 2
fi

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
pages_root=/usr/share/doc/python3.11/html

# --- packages ---------------------------------------------------------------
# recollindex is in recollcmd (the "recoll" package only adds the desktop
# search window on top of it); omindex is in xapian-omega.
bash "$repo/scripts/setup.sh" python3.11-doc recollcmd xapian-omega time

# --- the test folder ----------------------------------------------------------
work="$(mktemp -d "${TMPDIR:-/tmp}/qora-import-bench.XXXXXX")"
cleanup() {
  if [ "$keep" -eq 1 ]; then
    echo "kept $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

pages="$work/pages"
mkdir -p "$pages"
# Every HTML page of the documentation except the generated indexes and the
# search page, in a fixed order; N of them spread evenly over that list.
mapfile -t all_pages < <(cd "$pages_root" && find . -name '*.html' \
  -not -path './_*' -not -name 'genindex*' -not -name 'py-modindex.html' \
  -not -name 'search.html' | LC_ALL=C sort)
total=${#all_pages[@]}
if [ "$total" -lt "$files" ]; then
  echo "import_bench: only $total pages in $pages_root, asked for $files" >&2
  exit 1
fi
for ((i = 0; i < files; i++)); do
  page="${all_pages[$((i * total / files))]}"
  mkdir -p "$pages/$(dirname "$page")"
  cp "$pages_root/$page" "$pages/$page"
done
copied=$(find "$pages" -type f -name '*.html' | wc -l)
folders=$(find "$pages" -type d | wc -l)
bytes=$(find "$pages" -type f -name '*.html' -printf '%s\n' | awk '{s += $1} END {print s + 0}')
echo "test folder: $copied HTML pages ($((bytes / 1024)) KiB) in $folders folders," \
  "picked from $total pages of $pages_root"
echo "machine: $(nproc) cores; $(uname -sr)"
echo

# Runs "$@" under /usr/bin/time; sets wall (seconds) and rss (peak KiB) and
# returns the command's status. Its output goes to $log.
timed() {
  local log="$1"
  shift
  local status=0
  /usr/bin/time -f '%e %M' -o "$work/time.out" "$@" >"$log" 2>&1 || status=$?
  # /usr/bin/time prefixes "Command exited with non-zero status" on failure.
  read -r wall rss < <(tail -n 1 "$work/time.out")
  return "$status"
}

# The HTML documents of the Xapian index at $1: both indexers give each
# document the term "T" + its MIME type (xadump comes with recollcmd).
index_documents() {
  xadump -d "$1" -t Ttext/html -F 2>/dev/null | sed -n 's/^FreqFor Ttext\/html : //p' | head -n 1
}

per_second() {
  awk -v n="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.1f", n / s; else print "n/a" }'
}

failed=0

# --- QORA ---------------------------------------------------------------------
if [ "$run_qora" -eq 1 ]; then
  echo "== QORA: building in Release (build-bench)"
  cd "$repo"
  build_log="$work/build.log"
  if ! { cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQORA_BUILD_TESTS=OFF &&
         cmake --build build-bench -j2 --target qora qora_data qora_page_cleaner \
           qora_pdf_converter; } >"$build_log" 2>&1; then
    echo "QORA: the build failed; its last lines:"
    tail -n 30 "$build_log"
    failed=1
  else
    qora="$repo/build-bench/qora"
    data="$work/qora-data"
    qora_log="$work/qora.log"
    status=0
    made=1
    { "$qora" init "$data" && "$qora" --data "$data" lib new bench; } >"$qora_log" 2>&1 || made=0
    if [ "$made" -eq 1 ]; then
      timed "$qora_log" "$qora" --data "$data" add-folder bench "$pages" \
        --depth 10 --max-kb 2000000 --max-docs 100000 || status=$?
    fi
    listing=""
    if [ "$made" -eq 0 ]; then
      echo "QORA: making the data folder and the library failed:"
      tail -n 20 "$qora_log"
      failed=1
    elif [ "$status" -ne 0 ]; then
      echo "QORA: add-folder exited with status $status after ${wall}s; its last lines:"
      tail -n 20 "$qora_log"
      failed=1
    elif ! listing=$("$qora" --data "$data" docs bench 2>&1); then
      echo "QORA: add-folder took ${wall}s but listing the documents failed: $listing"
      failed=1
    else
      stored=$(printf '%s\n' "$listing" | tail -n +2 | grep -c . || true)
      table_lines=$(find "$data/libraries" -path '*/loc_c/cache.chx' -exec cat {} + 2>/dev/null |
        wc -l)
      library_kib=$(du -sk "$data/libraries" | cut -f1)
      echo "QORA add-folder: $copied files in ${wall}s = $(per_second "$copied" "$wall")" \
        "files/s; peak RSS $((rss / 1024)) MiB"
      echo "QORA stored documents: $stored (qora docs), $table_lines local table lines;" \
        "libraries folder $library_kib KiB"
      # A ranking on the imported pages, to show the library answers.
      echo "QORA research --keywords \"asyncio event loop\" (first 5):"
      "$qora" --data "$data" research --lib bench --keywords "asyncio event loop" --count 5 \
        2>&1 | sed 's/^/    /' || echo "    (the research failed)"
    fi
  fi
  echo
fi

# --- recollindex --------------------------------------------------------------
echo "== recollindex (recollcmd $(dpkg-query -W -f='${Version}' recollcmd))"
recoll_conf="$work/recoll-conf"
mkdir -p "$recoll_conf"
cat >"$recoll_conf/recoll.conf" <<EOF
topdirs = $pages
noaspell = 1
loglevel = 2
logfilename = $work/recoll-index.log
EOF
status=0
timed "$work/recoll.out" recollindex -c "$recoll_conf" || status=$?
if [ "$status" -ne 0 ]; then
  echo "recollindex exited with status $status; its last lines:"
  tail -n 20 "$work/recoll.out"
  failed=1
else
  echo "recollindex: $copied files in ${wall}s = $(per_second "$copied" "$wall") files/s;" \
    "peak RSS $((rss / 1024)) MiB"
  echo "recollindex indexed HTML documents: $(index_documents "$recoll_conf/xapiandb");" \
    "index $(du -sk "$recoll_conf/xapiandb" | cut -f1) KiB"
fi
echo

# --- omindex ------------------------------------------------------------------
echo "== omindex ($(omindex --version 2>/dev/null | head -n 1))"
omega_db="$work/omega-db"
status=0
timed "$work/omindex.out" omindex --db "$omega_db" --url / "$pages" || status=$?
if [ "$status" -ne 0 ]; then
  echo "omindex exited with status $status; its last lines:"
  tail -n 20 "$work/omindex.out"
  failed=1
else
  echo "omindex: $copied files in ${wall}s = $(per_second "$copied" "$wall") files/s;" \
    "peak RSS $((rss / 1024)) MiB"
  echo "omindex indexed HTML documents: $(index_documents "$omega_db");" \
    "index $(du -sk "$omega_db" | cut -f1) KiB"
fi

exit "$failed"
