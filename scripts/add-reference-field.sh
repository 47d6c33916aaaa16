#!/usr/bin/env bash
# Adds one known radiation field to a reference database for field recognition: runs zel on a measurement of
# that field and keeps its significant vector as DATABASE/SigVec_FIELD.vec with its SigVec_FIELD.vec_info.
#
#   scripts/add-reference-field.sh DATABASE FIELD MEASUREMENT [SETTINGS]
#
# MEASUREMENT is any input zel reads (event list, cluster log, raw data). SETTINGS is an optional file of
# parameter lines added to the run (detector, clusterer, DoPID, a SigVecName of your own...); use the same
# settings for the measurements you want to recognise later. ZEL names the zel program (default: build/bin/zel
# beside this script). A run that fails leaves the database as it was.
set -euo pipefail

if [ $# -lt 3 ] || [ $# -gt 4 ]; then
    sed -n '4,10p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
database="$1"
field="$2"
measurement="$3"
settings="${4:-}"
zel="${ZEL:-$(cd "$(dirname "$0")/.." && pwd)/build/bin/zel}"

case "$field" in
    *.* | */* | "") echo "add-reference-field: the field name may hold neither '.' nor '/'" >&2; exit 2 ;;
esac
[ -f "$measurement" ] || { echo "add-reference-field: no such measurement: $measurement" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
input_dir="$(cd "$(dirname "$measurement")" && pwd)/"
{
    echo "FileInPath = \"$input_dir\""
    echo "FileInName = \"$(basename "$measurement")\""
    echo "FileOutPath = \"$work/out/\""
    echo "LogPath = \"$work/out/\""
    echo "DoPrint = false"
    echo "DoExportGraphics = false"
    echo "DoRadFieldRecog = false"
    [ -n "$settings" ] && cat "$settings"
} > "$work/run.param"

if ! "$zel" "$work/run.param" > "$work/zel.txt" 2>&1; then
    cat "$work/zel.txt" >&2
    echo "add-reference-field: zel failed on $measurement; see the log above" >&2
    exit 1
fi
vector="$work/out/SigVec/SigVec"
if [ ! -s "$vector.vec" ]; then
    echo "add-reference-field: the run made no significant vector (does the input carry Size, BorderPixCount" \
         "and Linearity, or the histograms your SigVec.ini names?)" >&2
    exit 1
fi
mkdir -p "$database"
cp "$vector.vec" "$database/SigVec_$field.vec"
cp "$vector.vec_info" "$database/SigVec_$field.vec_info"
echo "$field: $(tr '\n' ' ' < "$database/SigVec_$field.vec")"
