#!/bin/sh
# Regenerates the committed artwork under res/: builds the drawing tool, runs it,
# and assembles the animated GIFs from its frames with ImageMagick.
#   tools/artwork/generate.sh [build-folder]     (default: build-art)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-art}
[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target artwork -j2 >/dev/null
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT
"$build/tools/artwork/artwork" "$root/res" "$frames"

# One palette for all frames of an animation and no error diffusion (the frames
# carry their own fixed ordered pattern): unchanged pixels stay identical from
# frame to frame, so the frame optimiser keeps only what moves. 255 colours leave
# a slot for the transparency of the optimised frames. Every frame is drawn over
# the previous one (disposal "none"): the image loader mishandles "previous".
gif() { # name delay-in-hundredths
  convert "$frames/$1"/*.png -append +dither -colors 255 -unique-colors "$frames/$1-palette.png"
  convert "$frames/$1"/*.png +dither -remap "$frames/$1-palette.png" -set delay "$2" -loop 0 \
    -set dispose None -layers CompareAny -layers OptimizeTransparency "$root/res/skin/$1.gif"
}
gif playPhoto 6
gif environment 8
echo "artwork written under $root/res"
