#!/usr/bin/env bash
# Builds the Debian package of the build tree, unpacks it into a scratch root and runs the programs and the
# Python package from there.
#   deb-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
deb=$(ls "$scratch"/out/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ $depends == *libc6* && $depends == *libstdc++6* ]]
contents=$(dpkg-deb -c "$deb")
[[ $contents == *./usr/include/zel/ZEL_API.h* && $contents == *./usr/lib/cmake/zel/zelConfig.cmake* ]]

dpkg -x "$deb" "$scratch/root"
"$scratch/root/usr/bin/zel" --version
python_dir=$scratch/root/usr/lib/python3/dist-packages
if [ -d "$python_dir/zel" ]; then
    PYTHONPATH=$python_dir /usr/bin/python3 -c 'import zel; assert zel.construct() == 0; print(zel.version()); zel.destruct()'
fi
echo "package: OK"
