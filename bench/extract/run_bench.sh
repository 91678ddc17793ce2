#!/usr/bin/env bash
# ExtractClientArchive against `7zz x` on the same packages, alternating rounds
# (medians), outputs compared with diff -r; peak memory with /usr/bin/time -v.
#   bench/extract/run_bench.sh <build folder> [work folder] [rounds]
# Packages (made once in the work folder with 7zz):
#   solid1  ~300 MiB tree, LZMA2, one solid block, one compression thread
#   mt      the same tree, LZMA2 compressed on 2 threads (split blocks)
#   big     ~500 MiB tree in one solid block (peak memory)
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
work=${2:-/tmp/bench-extract}
rounds=${3:-3}
bench="$build/bench/extract/bench_extract"
sevenz=$(command -v 7zz || command -v 7z)
mkdir -p "$work"
cd "$work"

if [ ! -d src ]; then
  mkdir -p src/gcc src/include
  cp -a /usr/lib/gcc/. src/gcc/
  cp -a /usr/include/linux /usr/include/x86_64-linux-gnu /usr/include/c++ src/include/
  mkdir -p src/share && cp -a /usr/share/fonts /usr/share/perl src/share/
  find src -type l -delete  # links to elsewhere on the system are no package content
fi
if [ ! -d bigsrc ]; then
  mkdir -p bigsrc
  total=0
  while IFS= read -r f; do
    s=$(stat -c %s "$f")
    [ $((total + s)) -gt $((500 * 1024 * 1024)) ] && break
    cp "$f" bigsrc/ && total=$((total + s))
  done < <(find /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -size +64k | sort)
fi
[ -f solid1.7z ] || (cd src && "$sevenz" a -bd -t7z -m0=lzma2 -mx=3 -mmt=1 -ms=4g ../solid1.7z . >/dev/null)
[ -f mt.7z ] || (cd src && "$sevenz" a -bd -t7z -m0=lzma2 -mx=3 -mmt=2 -ms=4g ../mt.7z . >/dev/null)
[ -f big.7z ] || (cd bigsrc && "$sevenz" a -bd -t7z -m0=lzma2 -mx=3 -mmt=1 -ms=4g ../big.7z . >/dev/null)

echo "tree: $(du -sm src | cut -f1) MiB, $(find src -type f | wc -l) files; big tree $(du -sm bigsrc | cut -f1) MiB"
for p in solid1 mt big; do
  echo "$p.7z: $(du -m $p.7z | cut -f1) MiB, $("$sevenz" l -slt $p.7z | grep -c '^Path = ') entries, blocks: $("$sevenz" l -slt $p.7z | sed -n 's/^Blocks = //p')"
done

elapsed() {  # seconds of wall time of "$@"
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

for p in solid1 mt; do
  ours=(); theirs=()
  for r in $(seq 1 "$rounds"); do
    rm -rf out-ours out-7z; sync; sleep 3
    t=$(elapsed "$bench" "$p.7z" out-ours); ours+=("$t")
    rm -rf out-ours-keep; mv out-ours out-ours-keep
    sync; sleep 3
    t=$(elapsed "$sevenz" x -y -bd -oout-7z "$p.7z"); theirs+=("$t")
    printf '%s round %d: ExtractClientArchive %.2f s, 7zz x %.2f s, ratio %.3f\n' \
      "$p" "$r" "${ours[-1]}" "${theirs[-1]}" "$(echo "${theirs[-1]} / ${ours[-1]}" | bc -l)"
  done
  diff -r out-ours-keep out-7z >/dev/null && echo "$p: outputs identical (diff -r)" || echo "$p: OUTPUTS DIFFER"
  mo=$(printf '%s\n' "${ours[@]}" | median); mt=$(printf '%s\n' "${theirs[@]}" | median)
  printf '%s median: ExtractClientArchive %.2f s, 7zz x %.2f s, ratio (7zz time / ours) %.3f\n' \
    "$p" "$mo" "$mt" "$(echo "$mt / $mo" | bc -l)"
  rm -rf out-ours-keep out-7z
done

rm -rf out-big; sync; sleep 3
/usr/bin/time -v "$bench" big.7z out-big 2> time-ours.txt || true
echo "big ExtractClientArchive peak RSS: $(sed -n 's/.*Maximum resident set size (kbytes): //p' time-ours.txt) KiB, $(sed -n 's/.*Elapsed (wall clock) time.*: //p' time-ours.txt)"
rm -rf out-big; sync; sleep 3
/usr/bin/time -v "$sevenz" x -y -bd -oout-big big.7z > /dev/null 2> time-7z.txt || true
echo "big 7zz x peak RSS: $(sed -n 's/.*Maximum resident set size (kbytes): //p' time-7z.txt) KiB, $(sed -n 's/.*Elapsed (wall clock) time.*: //p' time-7z.txt)"
rm -rf out-big
