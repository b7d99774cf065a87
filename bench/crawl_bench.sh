#!/usr/bin/env bash
# Measures crawling a local copy of a real site with QORA (20 workers; every
# fetched page is archived, cleaned, stored as a DML document and indexed),
# beside wget --recursive fetching the same site in the same run.
#
#   bash bench/crawl_bench.sh [--threads N] [--port N] [--large-limits] [--keep]
#
#   --threads N     crawl_thread_count of the benchmark's crawl.ini (default 20)
#   --port N        port of the local web server (default: a free one)
#   --large-limits  raise max_content_size and max_html_size of the
#                   benchmark's crawl.ini to 10,000,000 so that every page can
#                   be stored (see below)
#   --keep          keep the temporary folder (data folder, wget's copy, logs)
#
# The site is Debian's python3.11-doc (/usr/share/doc/python3.11/html, over
# 500 HTML pages) served on 127.0.0.1 by bench/site_server.py (Python's
# http.server with a listen backlog of 128, as a real server has); both
# clients start at its index.html and go 6 links deep. Missing packages
# (python3.11-doc, wget, time) are installed with apt-get, with sudo when not
# root. QORA is built in Release in build-bench/ at the top of the repository.
#
# QORA stores only the pages whose size is within the limits of crawl.ini:
# max_content_size (50,000 characters of extracted text by default) and
# max_html_size (200,000 bytes of fetched page by default); larger pages are
# fetched but not stored. wget saves every page whatever its size, so the
# script prints how many pages wget saved beside how many QORA stored;
# --large-limits lifts both limits so that QORA can store every page too.
set -euo pipefail

threads=20
port=""
large_limits=0
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --threads)
      [ $# -ge 2 ] || { echo "crawl_bench: --threads needs a number" >&2; exit 2; }
      threads="$2"
      shift 2
      ;;
    --port)
      [ $# -ge 2 ] || { echo "crawl_bench: --port needs a number" >&2; exit 2; }
      port="$2"
      shift 2
      ;;
    --large-limits) large_limits=1; shift ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,26p' "$0"; exit 0 ;;
    *) echo "crawl_bench: unknown argument $1" >&2; exit 2 ;;
  esac
done
case "$threads" in
  ''|*[!0-9]*) echo "crawl_bench: --threads takes a whole number" >&2; exit 2 ;;
esac
if [ "$threads" -lt 1 ] || [ "$threads" -gt 30 ]; then
  echo "crawl_bench: --threads must lie between 1 and 30" >&2
  exit 2
fi
case "$port" in
  *[!0-9]*) echo "crawl_bench: --port takes a whole number" >&2; exit 2 ;;
esac

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
site_root=/usr/share/doc/python3.11/html
depth=6

# --- packages ---------------------------------------------------------------
bash "$repo/scripts/setup.sh" python3.11-doc wget time

# The system's Python (python3.11-doc comes with Debian's), else any python3.
python=/usr/bin/python3
[ -x "$python" ] || python="$(command -v python3)"

# --- the temporary folder and the web server ----------------------------------
work="$(mktemp -d "${TMPDIR:-/tmp}/qora-crawl-bench.XXXXXX")"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ "$keep" -eq 1 ]; then
    echo "kept $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

if [ -z "$port" ]; then
  port=$("$python" -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])')
fi
server_log="$work/server.log"
"$python" "$repo/bench/site_server.py" "$port" "$site_root" >"$server_log" 2>&1 &
server_pid=$!
start_url="http://127.0.0.1:$port/index.html"
# Wait (up to 10 s) until the server answers.
for ((i = 0; i < 100; i++)); do
  if wget -q -O /dev/null "$start_url" 2>/dev/null; then
    break
  fi
  if ! kill -0 "$server_pid" 2>/dev/null; then
    echo "crawl_bench: the web server did not start:" >&2
    cat "$server_log" >&2
    exit 1
  fi
  sleep 0.1
done
if ! wget -q -O /dev/null "$start_url" 2>/dev/null; then
  echo "crawl_bench: the web server does not answer on $start_url" >&2
  exit 1
fi

site_pages=$(find "$site_root" -name '*.html' | wc -l)
site_kib=$(find "$site_root" -name '*.html' -printf '%s\n' | awk '{s += $1} END {print int(s / 1024)}')
large_pages=$(find "$site_root" -name '*.html' -size +200000c | wc -l)
echo "site: $site_root served on 127.0.0.1:$port by $("$python" --version 2>&1) http.server" \
  "(site_server.py, backlog 128);"
echo "      $site_pages HTML files ($site_kib KiB), $large_pages of them over 200,000 bytes"
echo "machine: $(nproc) cores; $(uname -sr); load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo

# Runs "$@" under /usr/bin/time; sets wall (seconds) and rss (peak KiB) and
# returns the command's status. Its output goes to $log.
timed() {
  local log="$1"
  shift
  local status=0
  /usr/bin/time -v -o "$work/time.out" "$@" >"$log" 2>&1 || status=$?
  wall=$(sed -n 's/^[[:space:]]*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.out" |
    awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.2f", s }')
  rss=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$work/time.out")
  cpu=$(sed -n 's/^[[:space:]]*Percent of CPU this job got: //p' "$work/time.out")
  return "$status"
}

per_second() {
  awk -v n="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.1f", n / s; else print "n/a" }'
}

# Requests the server has answered so far (one log line per request).
# Connection requests this machine's listening sockets dropped so far because
# their backlog was full (TcpExt ListenOverflows); each one costs its client
# a second before it tries again.
listen_overflows() {
  awk '$1 == "TcpExt:" { if (!names) { for (i = 2; i <= NF; i++) col[$i] = i; names = 1 }
                         else { print $col["ListenOverflows"] + 0; exit } }' /proc/net/netstat
}

server_requests() {
  grep -c '"GET ' "$server_log" || true
}

# The paths the server answered with 200 among its requests FIRST+1..LAST,
# sorted (a log line reads: HOST - - [DATE TIME] "GET PATH HTTP/1.1" STATUS -).
served_paths() {
  grep '"GET ' "$server_log" | sed -n "$(($1 + 1)),$2p" | awk '$9 == 200 { print $7 }' |
    LC_ALL=C sort -u
}

# Sets KEY = VALUE in [SECTION] of the ini file FILE: replaces the key's line
# in that section, else adds the line at the end of the section.
set_ini_key() {
  local file="$1" section="$2" key="$3" value="$4"
  awk -v section="$section" -v key="$key" -v value="$value" '
    function flush() { if (inside && !done) { print key " = " value; done = 1 } }
    /^[[:space:]]*\[/ {
      flush()
      inside = ($0 ~ "^[[:space:]]*\\[" section "\\][[:space:]]*$")
    }
    inside && $0 ~ "^[[:space:]]*" key "[[:space:]]*=" {
      if (!done) print key " = " value
      done = 1
      next
    }
    { print }
    END {
      flush()
      if (!done) { print "[" section "]"; print key " = " value }
    }' "$file" >"$file.new"
  mv "$file.new" "$file"
}

failed=0
qora_pps=""
qora_stored=""
wget_pps=""
wget_html=""

# --- QORA ---------------------------------------------------------------------
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
  made=1
  { "$qora" --data "$data" init "$data" && [ -f "$data/crawl.ini" ]; } >"$qora_log" 2>&1 || made=0
  if [ "$made" -eq 1 ]; then
    set_ini_key "$data/crawl.ini" webcrawler crawl_thread_count "$threads"
    if [ "$large_limits" -eq 1 ]; then
      set_ini_key "$data/crawl.ini" general max_content_size 10000000
      set_ini_key "$data/crawl.ini" general max_html_size 10000000
    fi
    "$qora" --data "$data" lib new bench >>"$qora_log" 2>&1 || made=0
  fi
  if [ "$made" -eq 0 ]; then
    echo "QORA: making the data folder and the library failed:"
    tail -n 20 "$qora_log"
    failed=1
  else
    settings=$(grep -E '^[[:space:]]*(crawl_thread_count|max_content_size|max_html_size)[[:space:]]*=' \
      "$data/crawl.ini" | sed 's/[[:space:]]*=[[:space:]]*/=/' | paste -s -d' ')
    echo "QORA crawl.ini: $settings"
    before=$(server_requests)
    overflows_before=$(listen_overflows)
    status=0
    timed "$qora_log" "$qora" --data "$data" crawl bench "$start_url" --depth "$depth" \
      --max-kb 2000000 --max-sites 100000 --max-docs 100000 --internal-only || status=$?
    after=$(server_requests)
    qora_overflows=$(( $(listen_overflows) - overflows_before ))
    qora_requests=$((after - before))
    served_paths "$before" "$after" >"$work/qora-fetched.txt"
    qora_fetched=$(grep -c '\.html$' "$work/qora-fetched.txt" || true)
    listing=""
    if [ "$status" -ne 0 ]; then
      echo "QORA: crawl exited with status $status after ${wall}s; its last lines:"
      tail -n 20 "$qora_log"
      failed=1
    elif ! listing=$("$qora" --data "$data" docs bench 2>&1); then
      echo "QORA: crawl took ${wall}s but listing the documents failed: $listing"
      failed=1
    else
      qora_stored=$(printf '%s\n' "$listing" | tail -n +2 | grep -c . || true)
      archived=$(find "$data" -path '*/web_c/*' -type f -name '*.htm' | wc -l)
      dml=$(find "$data" -path '*/web_c/*' -type f -name '*.dml' | wc -l)
      library_kib=$(du -sk "$data" | cut -f1)
      qora_pps=$(per_second "$qora_stored" "$wall")
      echo "QORA crawl: ${wall}s wall, CPU ${cpu}, peak RSS $((rss / 1024)) MiB;" \
        "$qora_requests requests answered by the server, $qora_fetched HTML pages served," \
        "$qora_overflows connections refused by a full backlog"
      echo "QORA stored documents: $qora_stored (qora docs); web_c: $archived .htm archived" \
        "copies, $dml .dml documents; data folder $library_kib KiB"
      echo "QORA: $qora_pps stored pages/s"
    fi
  fi
fi
echo

# --- wget ---------------------------------------------------------------------
echo "== wget --recursive ($(wget --version | head -n 1))"
wget_dir="$work/wget"
before=$(server_requests)
status=0
timed "$work/wget.log" wget --recursive --level="$depth" --no-parent --no-verbose \
  --directory-prefix="$wget_dir" "$start_url" || status=$?
wget_requests=$(( $(server_requests) - before ))
# wget exits with 8 when the server answered some request with an error (a
# broken link); the pages it did fetch are still counted.
if [ "$status" -ne 0 ] && [ "$status" -ne 8 ]; then
  echo "wget exited with status $status after ${wall}s; its last lines:"
  tail -n 20 "$work/wget.log"
  failed=1
else
  wget_html=$(find "$wget_dir" -type f -name '*.html' | wc -l)
  wget_files=$(find "$wget_dir" -type f | wc -l)
  wget_errors=$(grep -c 'ERROR' "$work/wget.log" || true)
  wget_pps=$(per_second "$wget_html" "$wall")
  (cd "$wget_dir"/*/ && find . -type f -name '*.html' | sed 's/^\.//' | LC_ALL=C sort) \
    >"$work/wget-saved.txt"
  echo "wget: ${wall}s wall, CPU ${cpu}, peak RSS $((rss / 1024)) MiB; exit status $status;" \
    "$wget_requests requests answered by the server ($wget_errors error answers)"
  echo "wget saved: $wget_html HTML pages ($wget_files files in all, with images," \
    "style sheets and page sources)"
  echo "wget: $wget_pps HTML pages/s"
fi
echo

# --- comparison ---------------------------------------------------------------
echo "== comparison"
if [ -n "$qora_pps" ] && [ -n "$wget_pps" ]; then
  echo "pages: wget saved $wget_html HTML pages, QORA stored $qora_stored documents" \
    "($(if [ "$large_limits" -eq 1 ]; then echo "large limits"; else echo "default limits"; fi))"
  echo "pages/s: QORA $qora_pps, wget $wget_pps"
  ratio=$(awk -v q="$qora_pps" -v w="$wget_pps" 'BEGIN { if (w > 0) printf "%.2f", q / w; else print "n/a" }')
  echo "ratio QORA/wget: $ratio (target: at least 0.50, with every page archived, cleaned" \
    "and stored)"
  fast=$(awk -v r="$ratio" 'BEGIN { print (r + 0 >= 0.5) ? "yes" : "no" }')
  every=no
  if [ "$qora_stored" -ge "$wget_html" ]; then every=yes; fi
  echo "speed target met: $fast; every page wget saved also stored by QORA: $every"
  if [ -f "$work/qora-fetched.txt" ] && [ -f "$work/wget-saved.txt" ]; then
    mapfile -t unfetched < <(LC_ALL=C comm -23 "$work/wget-saved.txt" "$work/qora-fetched.txt")
    echo "pages wget saved that QORA did not fetch: ${#unfetched[@]}" \
      "${unfetched[*]:0:10}"
    echo "pages QORA fetched but did not store: $((qora_fetched - qora_stored))" \
      "(over its size limits, or rejected while cleaning)"
  fi
else
  echo "no comparison: one of the two runs failed"
fi

exit "$failed"
