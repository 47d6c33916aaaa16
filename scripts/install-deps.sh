#!/usr/bin/env bash
# Installs the Debian packages zel needs, only those missing. Each is named with its purpose in the README.
set -euo pipefail
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libeigen3-dev bc time clang libclang-rt-14-dev
          pybind11-dev python3-dev python3-numpy python3-pandas python3-distributed python3-pytest dpkg-dev pkg-config
          python3-matplotlib)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
