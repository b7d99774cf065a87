#!/usr/bin/env bash
# Records what a qora build answers on the bundled sample library, so that two
# builds can be compared output for output after a change that must not alter
# results:
#
#   bash bench/sample_outputs.sh OLD_BUILD_DIR /tmp/before
#   bash bench/sample_outputs.sh NEW_BUILD_DIR /tmp/after
#   bash bench/sample_outputs.sh --compare /tmp/before /tmp/after
#
# BUILD_DIR holds `qora` and the installed data folder `data/` (cln.exe and
# hlp22.exe in it). The samples are imported from one fixed path, since a
# document's identifier is made from its address. The comparison masks what
# differs between any two runs: the minute of import in the document dates,
# the random library identifier and the output folder's own path. The
# library's files are compared through library_files.txt, a digest of each.
set -euo pipefail

samples=/tmp/qora_sample_outputs_samples

normalized() {  # FILE OUTDIR
  sed -E "s#$2#OUT#g; s#ds[0-9]+#dsN#g; s#[0-9]+/[0-9]+/[0-9]+ [0-9]+:[0-9]+ [AP]M#DATE#g" "$1"
}

if [ "${1:-}" = "--compare" ]; then
  a=$2 b=$3 differing=0 compared=0
  for f in $(cd "$a" && ls | grep -v '^data$'); do
    compared=$((compared + 1))
    if ! cmp -s <(normalized "$a/$f" "$a") <(normalized "$b/$f" "$b"); then
      echo "differs: $f"
      differing=$((differing + 1))
    fi
  done
  echo "$compared files compared, $differing differing"
  [ "$differing" -eq 0 ]
  exit
fi

build=$(cd "$1" && pwd) out=$2
rm -rf "$out" "$samples"
mkdir -p "$out"
cp -r "$(dirname "$0")/../samples/library" "$samples"
q() { QORA_INSTALLED_DATA="$build/data" "$build/qora" --data "$out/data" "$@"; }
QORA_INSTALLED_DATA="$build/data" "$build/qora" init "$out/data" >/dev/null
q lib new Sample >/dev/null
q add-folder Sample "$samples" --depth 2 --max-kb 100000 --max-docs 200 >/dev/null
q docs Sample >"$out/docs.txt"
q docs Sample --xml >"$out/docs.xml"
for words in "transaction rollback journal" "water energy" "history of the city"; do
  name=${words// /_}
  q research --lib Sample --keywords "$words" --count 10 >"$out/research_$name.txt"
  q research --lib Sample --keywords "$words" --count 10 --xml >"$out/research_$name.xml"
  q research --lib Sample --keywords "$words" --count 10 --expand >"$out/research_expanded_$name.txt"
  q map --lib Sample --keywords "$words" >"$out/map_$name.txt"
  q map --lib Sample --keywords "$words" --xml >"$out/map_$name.xml"
done
for id in $(awk 'NR > 1 { print $3 }' "$out/docs.txt" | head -3); do
  q summary "Sample:$id" >"$out/summary_$id.txt"
  q summary "Sample:$id" --keywords water --bias 60 --xml >"$out/summary_biased_$id.xml"
  q research --lib Sample --doc "Sample:$id" --count 10 >"$out/research_like_$id.txt"
  q map --lib Sample --doc "Sample:$id" >"$out/map_of_$id.txt"
done
q research --lib Sample --count 10 \
  --passage "The journal records every change before it is written, so a crash can be rolled back." \
  >"$out/research_passage.txt"
# Every file of the library, by its path and its content with the same masks.
(cd "$out/data" && find libraries -type f ! -name '*.ini' | sort | while read -r f; do
  echo "$(echo "$f" | sed -E 's#ds[0-9]+#dsN#') $(normalized "$f" "$out" | md5sum | cut -c1-32)"
done) >"$out/library_files.txt"
echo "recorded $(ls "$out" | grep -vc '^data$') outputs in $out"
