#!/usr/bin/env bash
# Checks the shipped pictures, icon and sound: formats and sizes that the windows expect, the mascot frames'
# silver key colour and mirrored poses, and that resources/generate.py still writes exactly the committed bytes.
# Needs file, ImageMagick (identify, convert, compare) and python3. Usage: check_resources.sh REPO_ROOT
set -uo pipefail

root=${1:?usage: check_resources.sh REPO_ROOT}
res=$root/resources
passed=0
failed=0

ok() { passed=$((passed + 1)); echo "ok   $1"; }
bad() { failed=$((failed + 1)); echo "FAIL $1"; }

# expect NAME ACTUAL WANTED: passes when ACTUAL contains WANTED.
expect() {
    if [[ $2 == *"$3"* ]]; then ok "$1"; else bad "$1: got '$2', want '$3'"; fi
}

for tool in file identify convert compare python3; do
    command -v "$tool" >/dev/null || { echo "FAIL missing tool: $tool (install packages file and imagemagick)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# identify_of FILE: "FORMAT WIDTHxHEIGHT" for each image in FILE, one a line.
identify_of() { identify -format '%m %wx%h\n' "$1" 2>&1; }

expect "background.bmp is a 24-bit Windows bitmap" "$(file -b "$res/background.bmp")" \
    "PC bitmap, Windows 3.x format, 352 x 300 x 24"
expect "background.bmp is 352x300" "$(identify_of "$res/background.bmp")" "BMP3 352x300"

expect "small.gif is a GIF89a" "$(file -b "$res/small.gif")" "GIF image data, version 89a, 80 x 100"
expect "small.gif is 80x100" "$(identify_of "$res/small.gif")" "GIF 80x100"

icon_sizes=$(identify_of "$res/sorabune.ico")
expect "sorabune.ico is an icon" "$(file -b "$res/sorabune.ico")" "MS Windows icon resource"
for size in 16x16 32x32 48x48; do
    expect "sorabune.ico holds $size" "$icon_sizes" "ICO $size"
done

expect "Kouka.mid is a standard MIDI file" "$(file -b "$res/Sound/Kouka.mid")" "Standard MIDI data"

for i in 0 1 2 3; do
    frame=$res/frames/girl$i.gif
    expect "girl$i.gif is a GIF89a" "$(file -b "$frame")" "GIF image data, version 89a, 80 x 100"
    expect "girl$i.gif is 80x100" "$(identify_of "$frame")" "GIF 80x100"
    # The mascot window cuts away the colour of the top-left pixel, so it must be the silver background.
    expect "girl$i.gif top-left pixel is silver" \
        "$(convert "$frame" -crop 1x1+0+0 -depth 8 txt:- 2>&1 | tail -n 1)" "(192,192,192)"
done

# Frames 2 and 3 walk the other way: pixel for pixel the mirror images of frames 0 and 1.
for pair in "0 2" "1 3"; do
    set -- $pair
    convert "$res/frames/girl$1.gif" -flop "$work/flop$1.png"
    differing=$(compare -metric AE "$work/flop$1.png" "$res/frames/girl$2.gif" null: 2>&1)
    expect "girl$2.gif mirrors girl$1.gif (differing pixels)" "[$differing]" "[0]"
done

if report=$(python3 "$res/generate.py" --check 2>&1); then
    ok "generate.py --check: outputs match their sources, frames fit the window's outline"
else
    bad "generate.py --check"
fi
echo "$report"

echo "resources: $passed checks passed, $failed failed"
[[ $failed -eq 0 ]]
