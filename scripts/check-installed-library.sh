#!/usr/bin/env bash
# Installs the stitch format library from a configured build folder into a
# temporary prefix, then builds the example program against that tree twice,
# through pkg-config and through find_package, and runs both on a corpus file.
# Both must print the same stitch count.
#   scripts/check-installed-library.sh <build folder> [design file]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: $0 <build folder> [design file]}
sample=${2:-../shared/corpus/pes/cat.PES}
cxx=${CXX:-c++}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake --build "$build" --target DesignFiles PublicHeaderChecks
cmake --install "$build" --prefix "$prefix" --component qel-stitchformats >/dev/null

# pkg-config: the .pc file is found wherever the tree was installed.
pcdir=$(dirname "$(find "$prefix" -name qel-stitchformats.pc -print -quit)")
# shellcheck disable=SC2046
"$cxx" -Wall -Wextra -Werror -o "$work/by-pkg-config" examples/stitch-count/stitch-count.cpp \
  $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs qel-stitchformats)

# CMake: find_package(QelStitchFormats) and its imported target.
cmake -S examples/stitch-count -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$work/cmake-build" >/dev/null

by_pkg_config=$("$work/by-pkg-config" "$sample")
by_cmake=$("$work/cmake-build/stitch-count" "$sample")
echo "check-installed-library: $sample has $by_pkg_config stitches (pkg-config), $by_cmake (CMake)"
[[ "$by_pkg_config" =~ ^[1-9][0-9]*$ ]] || { echo "check-installed-library: no stitch count" >&2; exit 1; }
[ "$by_pkg_config" = "$by_cmake" ] || { echo "check-installed-library: the two builds disagree" >&2; exit 1; }
