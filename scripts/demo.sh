#!/usr/bin/env bash
# Prints the bundled test chart through the library and the reference module:
# out/chart.tif -> out/demo.prn (printer data) -> out/demo.png (preview), and
# prints the summary. Installs the packages it needs first (when run as root).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake make g++ pkg-config libspdlog-dev libfmt-dev nlohmann-json3-dev libpugixml-dev
          libgtest-dev libtiff-dev libpng-dev libcli11-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "demo: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build=build/demo
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVIK_TESTS=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target tavik dorva_ref tavik-print tavik-preview tavik-chart >/dev/null

mkdir -p out
"$build/tavik-chart" -o out/chart.tif
"$build/tavik-print" --progress -l "$build/QXTV64_RN07.so" -c examples/tavik-reference.ini \
  -o out/demo.prn out/chart.tif
"$build/tavik-preview" out/demo.prn -o out/demo.png --width 1200
