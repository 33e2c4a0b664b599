#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own build folder and gives
# each a short, fixed run seeded from ../shared/corpus and from fuzz/seeds/<target>,
# small files made for the faults found so far (about two minutes in all).
# Fails on any finding; the input that caused it is kept under
# build-fuzz/artifacts/<target>/ to be turned into a regression test.
set -euo pipefail
cd "$(dirname "$0")/.."

# One line per fuzz target: its name, its seconds, its longest input in bytes,
# then its seed folders under ../shared/corpus. A folder written "format:DIR" has each file prefixed with
# the Format byte of DIR's extension, for targets that read the format from
# their first input byte; "vp3:DIR" has each file that qel-stitch reads
# converted to VP3 by our own writer (the corpus holds no VP3 files).
# "dhv:DIR" wraps each SHV file of DIR as the body of a two-design DHV file
# (with its Format byte), as there are no DHV samples either. "sections:DIR"
# cuts each TVK or VIP file of DIR into its three compressed sections.
# "repo:DIR" copies a seed folder of the repository itself (fuzz/seeds/...),
# for inputs that no sample file holds.
targets=(
  "fuzz_stitch_formats 30 2048 format:dst format:exp format:xxx format:10o format:jef format:sew format:pcs format:pec format:pes format:shv dhv:shv format:tvk format:vip format:art"
  "fuzz_vp3 30 4096 vp3:dst vp3:exp vp3:xxx vp3:10o vp3:jef vp3:sew vp3:pcs vp3:pec vp3:pes vp3:shv vp3:tvk vp3:vip vp3:art repo:fuzz/seeds/vp3"
  "fuzz_brother 20 4096 format:pes format:pec"
  "fuzz_writers 20 2048 format:dst format:exp format:xxx format:10o format:jef format:sew format:pcs format:pec format:pes format:shv dhv:shv format:tvk format:vip format:art repo:fuzz/seeds/fuzz_stitch_formats"
  "fuzz_tvk_vip_codec 20 4096 sections:tvk sections:vip"
  "fuzz_machine_link 10 4096 vp3:dst vp3:pes"
)

# Format values by extension, as the engine numbers them.
declare -A format_byte=(
  [vip]=0 [tvk]=1 [dst]=2 [10o]=3 [pcs]=4 [exp]=5 [pes]=6 [pec]=7
  [sew]=8 [jef]=9 [xxx]=10 [shv]=11 [dhv]=12 [art]=13
)

corpus=../shared/corpus
# Longer inputs are cut to each target's length: headers and tables sit near
# the start, and an execution costs about what its input holds. Cut so, every
# target runs well over a thousand inputs a second; at 64 KiB the format engine
# ran under a hundred. The seeds of fuzz/seeds bring back what the cut files
# reached only further in (long moves, many blocks): the seeds cover as many
# edges as the uncut corpus did.
# No allocation that so short an input asks for comes near this (the libraries
# lower their record limit under fuzzing): one that does is a finding.
malloc_limit_mb=256
build=build-fuzz
jobs=$(nproc 2>/dev/null || echo 2)

names=()
for line in "${targets[@]}"; do
  read -r name _ <<<"$line"
  names+=("$name")
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQEL_FUZZ=ON -DQEL_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${names[@]}" qel-stitch

# A DHV layout of two designs sharing one body: no file name, the design count
# at 96, the two addresses, then a design header (turned a quarter, mirrored,
# moved and scaled) in front of the body.
dhv_prefix() {
  head -c 86 /dev/zero
  printf '\x00'
  head -c 9 /dev/zero
  printf '\x02\x00\x00\x00\x69\x00\x00\x00\x69'
  printf '\x05\x00\x64\xff\xce\xce\x1b'
}

# Writes the three compressed sections of a TVK or VIP file to dir: each runs
# from its offset (header bytes 20, 24 and 28) to the next larger offset of
# the other two, or to the end of the file.
cut_sections() {
  local file=$1 dir=$2 size start end other i
  local -a offsets
  size=$(stat -c %s "$file")
  read -r -a offsets < <(od -An -t d4 -j 20 -N 12 "$file")
  for i in 0 1 2; do
    start=${offsets[$i]:-0}
    end=$size
    for other in "${offsets[@]}"; do
      if (( other > start && other < end )); then end=$other; fi
    done
    if (( start >= 0 && end > start )); then
      # head stops reading the file at end, so tail reads its whole input and
      # no SIGPIPE ends the script under pipefail.
      head -c "$end" "$file" | tail -c +$((start + 1)) >"$dir/$(basename "$file")-$i"
    fi
  done
}

# Copies the seed folders of one target into dir, adding format bytes where asked.
prepare_seeds() {
  local dir=$1; shift
  rm -rf "$dir"; mkdir -p "$dir"
  local folder file ext byte
  for folder in "$@"; do
    if [[ $folder == dhv:* ]]; then
      folder=${folder#dhv:}
      for file in "$corpus/$folder"/*; do
        [ -f "$file" ] || continue
        { printf "\\x$(printf %02x "${format_byte[dhv]}")"; dhv_prefix; cat "$file"; } >"$dir/dhv-$(basename "$file")"
      done
    elif [[ $folder == sections:* ]]; then
      folder=${folder#sections:}
      for file in "$corpus/$folder"/*; do
        [ -f "$file" ] || continue
        cut_sections "$file" "$dir"
      done
    elif [[ $folder == repo:* ]]; then
      folder=${folder#repo:}
      for file in "$folder"/*; do
        if [ -f "$file" ]; then cp "$file" "$dir/repo-$(basename "$file")"; fi
      done
    elif [[ $folder == vp3:* ]]; then
      folder=${folder#vp3:}
      for file in "$corpus/$folder"/*; do
        [ -f "$file" ] || continue
        "$build/Tools/qel-stitch/qel-stitch" convert "$file" "$dir/$folder-$(basename "$file").vp3" 2>/dev/null || true
      done
    elif [[ $folder == format:* ]]; then
      folder=${folder#format:}
      byte=${format_byte[$folder]}
      for file in "$corpus/$folder"/*; do
        [ -f "$file" ] || continue
        { printf "\\x$(printf %02x "$byte")"; cat "$file"; } >"$dir/$folder-$(basename "$file")"
      done
    else
      for file in "$corpus/$folder"/*; do
        [ -f "$file" ] && cp "$file" "$dir/$folder-$(basename "$file")"
      done
    fi
  done
}

export ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"

failed=0
for line in "${targets[@]}"; do
  read -r name seconds max_len folders <<<"$line"
  seeds="$build/seeds/$name"
  work="$build/corpus/$name"
  artifacts="$build/artifacts/$name"
  # shellcheck disable=SC2086  # the folders are a word list
  prepare_seeds "$seeds" $folders
  mkdir -p "$work" "$artifacts"
  made=()
  [ -d "fuzz/seeds/$name" ] && made=("fuzz/seeds/$name")
  echo "=== fuzz $name for ${seconds}s ==="
  if ! "$build/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb="$malloc_limit_mb" \
      -max_len="$max_len" -artifact_prefix="$artifacts/" -print_final_stats=1 "$work" "$seeds" "${made[@]}"; then
    echo "run-fuzz: $name found a problem; see $artifacts/" >&2
    failed=1
  fi
done
exit $failed
