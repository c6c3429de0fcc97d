#!/usr/bin/env bash
# Installs every Debian package the builds, tests, tools and demo need.
# Idempotent; run as root on Debian 12.
set -euo pipefail

if [ "$(id -u)" != 0 ]; then
  echo "install-deps: run as root (apt-get needs it)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

packages=(
  cmake make g++ g++-multilib pkg-config clang-14 libclang-rt-14-dev clang-format binutils
  libspdlog-dev libfmt-dev nlohmann-json3-dev libpugixml-dev libgtest-dev libgmock-dev
  libbenchmark-dev liblcms2-dev libtiff-dev libpng-dev libcli11-dev zlib1g-dev
  libspdlog-dev:i386 libfmt-dev:i386 libpugixml-dev:i386 libgtest-dev:i386 libgmock-dev:i386 libbenchmark-dev:i386 liblcms2-dev:i386
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
)

apt-get update -qq
apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
