#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config libgtest-dev libbenchmark-dev
          qt6-base-dev libgl1-mesa-dev xvfb xauth python3 python3-numpy python3-scipy
          clang libclang-rt-14-dev libopenblas0-pthread
          libeigen3-dev libspectra-dev libopenblas-pthread-dev
          zlib1g-dev dpkg-dev man-db snakemake)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
