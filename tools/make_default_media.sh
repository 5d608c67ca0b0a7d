#!/usr/bin/env bash
# Makes the simulated camera's default media in OUTDIR (the demo runs from there):
#   aac_h265_768  main live stream and first recording, 768x432
#   aac_h265_640  sub live stream and second recording, 640x360
#   1.jpg         the picture
# Each set is H.265 with AAC, 60 s; existing files are kept. Checked with media_check when it is built
# (see tools/make_media.py). Usage: tools/make_default_media.sh OUTDIR   (OUTDIR=media in this tree)
set -euo pipefail
out=${1:?usage: make_default_media.sh OUTDIR}
tool="$(cd "$(dirname "$0")" && pwd)/make_media.py"
mkdir -p "$out"

make_set() {  # name size
  local name=$1 size=$2
  if [ -f "$out/$name" ] && [ -f "$out/$name.index" ] && [ -f "$out/$name.meta" ]; then
    return 0
  fi
  /usr/bin/python3 "$tool" --output "$out/$name" --codec h265 --audio aac --size "$size" --fps 15 \
    --duration 60 --keyint 2
}

make_set aac_h265_768 768x432
make_set aac_h265_640 640x360
if [ ! -f "$out/1.jpg" ]; then
  /usr/bin/python3 "$tool" --size 640x360 --picture "$out/1.jpg"
fi
