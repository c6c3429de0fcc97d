#!/usr/bin/env bash
# Compiles every library source for both Windows targets (objects only: our
# dependencies exist there as headers alone, so nothing links).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/mingw}
inc=$out/include
rm -rf "$inc" && mkdir -p "$inc"
# Only our dependencies' headers, never the host's whole /usr/include.
for dep in spdlog fmt nlohmann pugixml.hpp pugiconfig.hpp; do
  ln -s "/usr/include/$dep" "$inc/$dep"
done

mapfile -t sources < <(cd "$root" && find src lib -name '*.cpp' | sort)
status=0
for target in x86_64-w64-mingw32 i686-w64-mingw32; do
  cxx=$target-g++-posix
  mkdir -p "$out/$target"
  for src in "${sources[@]}"; do
    obj=$out/$target/$(echo "$src" | tr '/' '_').o
    if ! "$cxx" -std=c++20 -Wall -Wextra -Werror -DQXOL_BUILDING_LIBRARY -DSPDLOG_FMT_EXTERNAL \
        -DSPDLOG_COMPILED_LIB -I"$root/include" -I"$root/src" -isystem "$inc" \
        -c "$root/$src" -o "$obj"; then
      echo "mingw ($target): $src failed" >&2
      status=1
    fi
  done
  echo "mingw ($target): ${#sources[@]} sources compiled"
done
exit $status
