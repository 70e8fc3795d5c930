#!/usr/bin/env bash
# Times whole processes of the orvel tool beside the programs users would pick instead
# (ImageMagick, Pillow, libvips) doing the same work on the same 4096 x 4096 pictures, with `cp`
# of the same bytes as the limit for work that only moves bytes. Prints a table of medians and
# checks every peer's output against orvel's.
#
#   bench/compare-peers.sh [--build DIR] [--work DIR] [--side N] [--runs N] [--no-install]
#                          [--formats-only]
#
#   --build DIR   the build with tools/orvel and bench/orvel_bench_inputs (default build/default)
#   --work DIR    where inputs and outputs go (default: /dev/shm/orvel-peers when /dev/shm is a
#                 tmpfs, so the figures are the programs' and not the disk's; else $TMPDIR)
#   --side N      the pictures' side in pixels (default 4096)
#   --runs N      at most N timed runs of each command (default 10; at least 3)
#   --no-install  do not install missing peers; rows of missing peers are left out
#   --formats-only  only the PNG and JPEG rows (reading them into BMP, writing BMP as them)
#
# Missing peers are installed from Debian packages (imagemagick, python3-pil, libvips-tools,
# hyperfine), which needs root. Timings: hyperfine, warm page cache (each command runs once
# untimed first, which also makes the output that is checked), median of the runs.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build/default"
work=""
side=4096
runs=10
install=1
formats_only=0
while [[ $# -gt 0 ]]; do
    case "$1" in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --side) side="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --no-install) install=0; shift ;;
    --formats-only) formats_only=1; shift ;;
    -h | --help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "compare-peers: unknown argument '$1'" >&2; exit 2 ;;
    esac
done
if [[ -z "$work" ]]; then
    if [[ "$(stat -f -c %T /dev/shm 2>/dev/null)" == tmpfs ]]; then
        work=/dev/shm/orvel-peers
    else
        work="${TMPDIR:-/tmp}/orvel-peers"
    fi
fi
mkdir -p "$work"
work=$(cd "$work" && pwd)

orvel="$build/tools/orvel"
make_inputs="$build/bench/orvel_bench_inputs"
judge="$build/bench/orvel_bench_compare"
for program in "$orvel" "$make_inputs" "$judge"; do
    if [[ ! -x "$program" ]]; then
        echo "compare-peers: $program is missing; build first (cmake --build --preset default)" >&2
        exit 1
    fi
done

# The peers by absolute path: /usr/local/bin may hold stand-ins, and the python3 on PATH may not
# be the one with Pillow.
magick=/usr/bin/convert-im6.q16
python=/usr/bin/python3
vips=/usr/bin/vips
hyperfine=/usr/bin/hyperfine

have_pillow() { [[ -x "$python" ]] && "$python" -c 'import PIL' 2>/dev/null; }

missing=()
[[ -x "$magick" ]] || missing+=(imagemagick)
have_pillow || missing+=(python3-pil)
[[ -x "$vips" ]] || missing+=(libvips-tools)
[[ -x "$hyperfine" ]] || missing+=(hyperfine)
if [[ ${#missing[@]} -gt 0 && $install -eq 1 ]]; then
    echo "compare-peers: installing ${missing[*]}" >&2
    apt-get update >/dev/null && apt-get install -y "${missing[@]}" >/dev/null
fi
if [[ ! -x "$hyperfine" ]]; then
    echo "compare-peers: hyperfine is needed (apt-get install hyperfine)" >&2
    exit 1
fi
if ! have_pillow; then
    echo "compare-peers: Pillow is needed to read the outputs (apt-get install python3-pil)" >&2
    exit 1
fi
[[ -x "$magick" ]] || magick=""
[[ -x "$vips" ]] || vips=""

cd "$work"
if [[ ! -f "photo24-$side.bmp" ]]; then
    mkdir -p "inputs-$side"
    "$make_inputs" "inputs-$side" "$side"
    for name in photo24 photo8 photo8rle halftone bw; do
        mv "inputs-$side/$name.bmp" "$name-$side.bmp"
    done
    rmdir "inputs-$side"
fi
photo24="photo24-$side.bmp"
photo8="photo8-$side.bmp"
photo8rle="photo8rle-$side.bmp"
halftone="halftone-$side.bmp"
half=$((side / 2))
double=$((side * 2))

# Pillow's side of every workload, and the reader that turns any output into raw RGB for the
# checks.
cat >pillow_work.py <<'EOF'
import sys
from PIL import Image

operation, source, target = sys.argv[1:4]
image = Image.open(source)
if operation == "copy":
    image.save(target)
elif operation == "remap":
    palette = Image.open(sys.argv[4])
    image.quantize(palette=palette, dither=Image.Dither.NONE).save(target)
elif operation == "blackwhite":
    palette = Image.new("P", (1, 1))
    palette.putpalette([0, 0, 0, 255, 255, 255])
    image.quantize(palette=palette, dither=Image.Dither.NONE).save(target)
elif operation == "resize":
    size = (int(sys.argv[4]), int(sys.argv[5]))
    image.resize(size, Image.Resampling.NEAREST).save(target)
elif operation == "jpeg":
    image.save(target, quality=int(sys.argv[4]))
elif operation == "truecolour":
    image.convert("RGB").save(target)
elif operation == "rgb":
    with open(target, "wb") as out:
        out.write(image.convert("RGB").tobytes())
elif operation == "palette":
    # The palette of an indexed picture in index order, three bytes an entry.
    with open(target, "wb") as out:
        out.write(bytes(image.getpalette()))
EOF
pillow() { "$python" "$work/pillow_work.py" "$@"; }

# One row of the table per tool and workload: name, median seconds, check result.
results="$work/results.tsv"
: >"$results"

# time_command WORKLOAD TOOL OUTPUT COMMAND...: runs the command once (making OUTPUT), then times
# it, and records the median.
time_command() {
    local workload="$1" tool="$2" output="$3"
    shift 3
    rm -f "$output"
    if ! "$@" >/dev/null 2>"$work/last-error.txt"; then
        echo "compare-peers: $tool failed on '$workload':" >&2
        cat "$work/last-error.txt" >&2
        printf '%s\t%s\t%s\t%s\t%s\n' "$workload" "$tool" "" "failed" "" >>"$results"
        return
    fi
    local json="$work/timing.json"
    local quoted
    quoted=$(printf '%q ' "$@")
    "$hyperfine" -N --style none --warmup 0 --min-runs 3 --max-runs "$runs" --export-json "$json" \
        "$quoted" >/dev/null 2>>"$work/hyperfine.log"
    # The median wall time, and the mean CPU time (user + system), which other work on the
    # machine disturbs less.
    local median cpu
    read -r median cpu < <("$python" -c 'import json,sys; r = json.load(open(sys.argv[1]))["results"][0]; print(r["median"], r["user"] + r["system"])' "$json")
    printf '%s\t%s\t%s\t%s\t%s\n' "$workload" "$tool" "$median" "" "$cpu" >>"$results"
}

# check_same WORKLOAD TOOL OUTPUT REFERENCE [WHOSE]: records whether OUTPUT shows the same pixels
# as REFERENCE, which is orvel's output unless WHOSE names it otherwise.
check_same() {
    local workload="$1" tool="$2" output="$3" reference="$4" whose=${5:-"orvel's"}
    [[ -f "$output" ]] || return 0
    pillow rgb "$output" "$work/out.rgb"
    pillow rgb "$reference" "$work/reference.rgb"
    local verdict
    read -r differing total < <("$judge" same "$work/out.rgb" "$work/reference.rgb")
    if [[ "$differing" == size-differs ]]; then
        verdict="size differs"
    elif [[ "$differing" -eq 0 ]]; then
        verdict="equal to $whose"
    else
        verdict=$(awk -v d="$differing" -v t="$total" -v w="$whose" 'BEGIN { printf "%.2f%% of pixels differ from %s", 100 * d / t, w }')
    fi
    set_check "$workload" "$tool" "$verdict"
}

# check_nearest WORKLOAD TOOL OUTPUT PALETTE_RGB: records the share of pixels not mapped to the
# exact nearest palette colour.
check_nearest() {
    local workload="$1" tool="$2" output="$3" palette="$4"
    [[ -f "$output" ]] || return 0
    pillow rgb "$output" "$work/out.rgb"
    local wrong total verdict
    read -r wrong total < <("$judge" nearest "$work/source.rgb" "$palette" "$work/out.rgb")
    if [[ "$wrong" == size-differs ]]; then
        verdict="size differs"
    elif [[ "$wrong" -eq 0 ]]; then
        verdict="exact"
    else
        verdict=$(awk -v w="$wrong" -v t="$total" 'BEGIN { printf "%.2f%% not the nearest colour", 100 * w / t }')
    fi
    set_check "$workload" "$tool" "$verdict"
}

set_check() {
    "$python" - "$results" "$1" "$2" "$3" <<'EOF'
import sys
path, workload, tool, verdict = sys.argv[1:5]
rows = [line.rstrip("\n").split("\t") for line in open(path)]
for row in rows:
    if row[0] == workload and row[1] == tool and not row[3]:
        row[3] = verdict
open(path, "w").write("".join("\t".join(row) + "\n" for row in rows))
EOF
}

larger() { if [[ $(stat -c %s "$1") -ge $(stat -c %s "$2") ]]; then echo "$1"; else echo "$2"; fi; }

# limit WORKLOAD INPUT ORVEL_OUTPUT: cp of the larger of the two files, as many bytes as the
# work must at least read or write.
limit() {
    local workload="$1" file
    file=$(larger "$2" "$3")
    time_command "$workload" "cp (limit)" "$work/out-cp.bmp" cp "$file" "$work/out-cp.bmp"
    set_check "$workload" "cp (limit)" "copies $(($(stat -c %s "$file") / 1048576)) MiB"
}

name_of() { case $1 in im) echo ImageMagick ;; pil) echo Pillow ;; vips) echo libvips ;; *) echo "$1" ;; esac; }

echo "compare-peers: timing in $work (up to $runs runs a command)" >&2
rm -f out-*.bmp hyperfine.log
pillow rgb "$photo24" "$work/source.rgb"
pillow palette "$halftone" "$work/halftone.rgb"
printf '\000\000\000\377\377\377' >"$work/bw.rgb"

# PNG and JPEG of the same picture, written by Pillow, a writer none of the timed tools is.
if [[ ! -f "photo24-$side.png" ]]; then
    pillow copy "$photo24" "photo24-$side.png"
    pillow jpeg "$photo24" "photo24-$side.jpg" 90
fi

# PNG and JPEG read and written as BMP; BMP written as PNG (zlib level 6, everyone's default) and
# as JPEG (quality 90).
w="PNG -> BMP"
time_command "$w" orvel out-png-orvel.bmp "$orvel" convert "photo24-$side.png" -o out-png-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-png-im.bmp "$magick" "photo24-$side.png" BMP3:out-png-im.bmp
time_command "$w" Pillow out-png-pil.bmp "$python" "$work/pillow_work.py" copy "photo24-$side.png" out-png-pil.bmp
[[ -n "$vips" ]] && time_command "$w" libvips out-png-vips.bmp "$vips" copy "photo24-$side.png" out-png-vips.bmp
check_same "$w" orvel out-png-orvel.bmp "$photo24" "the picture encoded"
for tool in im pil vips; do check_same "$w" "$(name_of $tool)" "out-png-$tool.bmp" out-png-orvel.bmp; done

w="JPEG -> BMP"
time_command "$w" orvel out-jpg-orvel.bmp "$orvel" convert "photo24-$side.jpg" -o out-jpg-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-jpg-im.bmp "$magick" "photo24-$side.jpg" BMP3:out-jpg-im.bmp
time_command "$w" Pillow out-jpg-pil.bmp "$python" "$work/pillow_work.py" copy "photo24-$side.jpg" out-jpg-pil.bmp
[[ -n "$vips" ]] && time_command "$w" libvips out-jpg-vips.bmp "$vips" copy "photo24-$side.jpg" out-jpg-vips.bmp
for tool in im pil vips; do check_same "$w" "$(name_of $tool)" "out-jpg-$tool.bmp" out-jpg-orvel.bmp; done

w="BMP -> PNG"
time_command "$w" orvel out-orvel.png "$orvel" convert "$photo24" -o out-orvel.png
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-im.png "$magick" "$photo24" out-im.png
time_command "$w" Pillow out-pil.png "$python" "$work/pillow_work.py" copy "$photo24" out-pil.png
[[ -n "$vips" ]] && time_command "$w" libvips out-vips.png "$vips" copy "$photo24" out-vips.png
for tool in orvel im pil vips; do check_same "$w" "$(name_of $tool)" "out-$tool.png" "$photo24" "the input"; done

w="BMP -> JPEG, quality 90"
time_command "$w" orvel out-orvel.jpg "$orvel" convert "$photo24" --quality 90 -o out-orvel.jpg
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-im.jpg "$magick" "$photo24" -quality 90 out-im.jpg
time_command "$w" Pillow out-pil.jpg "$python" "$work/pillow_work.py" jpeg "$photo24" out-pil.jpg 90
[[ -n "$vips" ]] && time_command "$w" libvips out-vips.jpg "$vips" copy "$photo24" "out-vips.jpg[Q=90]"
for tool in im pil vips; do check_same "$w" "$(name_of $tool)" "out-$tool.jpg" out-orvel.jpg; done

if [[ $formats_only -eq 0 ]]; then

# Load and save unchanged.
w="load + save 24-bit"
time_command "$w" orvel out-copy-orvel.bmp "$orvel" convert "$photo24" -o out-copy-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-copy-im.bmp "$magick" "$photo24" BMP3:out-copy-im.bmp
time_command "$w" Pillow out-copy-pil.bmp "$python" "$work/pillow_work.py" copy "$photo24" out-copy-pil.bmp
[[ -n "$vips" ]] && time_command "$w" libvips out-copy-vips.bmp "$vips" copy "$photo24" out-copy-vips.bmp
limit "$w" "$photo24" out-copy-orvel.bmp
for tool in orvel im pil vips; do check_same "$w" "$(name_of $tool)" "out-copy-$tool.bmp" "$photo24" "the input"; done

# 24 -> 8 bits onto the halftone palette, no dithering.
w="24 -> 8 bits, halftone palette"
time_command "$w" orvel out-8-orvel.bmp "$orvel" convert "$photo24" --depth 8 --palette halftone -o out-8-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-8-im.bmp "$magick" "$photo24" +dither -remap "$halftone" -compress None BMP3:out-8-im.bmp
time_command "$w" Pillow out-8-pil.bmp "$python" "$work/pillow_work.py" remap "$photo24" out-8-pil.bmp "$halftone"
for tool in orvel im pil; do check_nearest "$w" "$(name_of $tool)" "out-8-$tool.bmp" "$work/halftone.rgb"; done

# 24 -> 1 bit onto black and white, no dithering.
w="24 -> 1 bit, black and white"
time_command "$w" orvel out-1-orvel.bmp "$orvel" convert "$photo24" --depth 1 -o out-1-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-1-im.bmp "$magick" "$photo24" +dither -remap "bw-$side.bmp" -compress None BMP3:out-1-im.bmp
time_command "$w" Pillow out-1-pil.bmp "$python" "$work/pillow_work.py" blackwhite "$photo24" out-1-pil.bmp
for tool in orvel im pil; do check_nearest "$w" "$(name_of $tool)" "out-1-$tool.bmp" "$work/bw.rgb"; done

# Nearest-neighbour resizing to half and to double the size.
for target in "$half" "$double"; do
    w="resize 24-bit to ${target}x${target}"
    time_command "$w" orvel "out-$target-orvel.bmp" "$orvel" convert "$photo24" --size "${target}x${target}" -o "out-$target-orvel.bmp"
    [[ -n "$magick" ]] && time_command "$w" ImageMagick "out-$target-im.bmp" "$magick" "$photo24" -sample "${target}x${target}!" BMP3:"out-$target-im.bmp"
    time_command "$w" Pillow "out-$target-pil.bmp" "$python" "$work/pillow_work.py" resize "$photo24" "out-$target-pil.bmp" "$target" "$target"
    if [[ -n "$vips" ]]; then
        if [[ "$target" -lt "$side" ]]; then
            time_command "$w" libvips "out-$target-vips.bmp" "$vips" subsample "$photo24" "out-$target-vips.bmp" 2 2
        else
            time_command "$w" libvips "out-$target-vips.bmp" "$vips" zoom "$photo24" "out-$target-vips.bmp" 2 2
        fi
    fi
    limit "$w" "$photo24" "out-$target-orvel.bmp"
    for tool in im pil vips; do check_same "$w" "$(name_of $tool)" "out-$target-$tool.bmp" "out-$target-orvel.bmp"; done
done

# RLE8 decoding: read the run-length picture, write it uncompressed.
w="RLE8 decode"
time_command "$w" orvel out-rle-orvel.bmp "$orvel" convert "$photo8rle" -o out-rle-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-rle-im.bmp "$magick" "$photo8rle" -compress None BMP3:out-rle-im.bmp
time_command "$w" Pillow out-rle-pil.bmp "$python" "$work/pillow_work.py" copy "$photo8rle" out-rle-pil.bmp
[[ -n "$vips" ]] && time_command "$w" libvips out-rle-vips.bmp "$vips" copy "$photo8rle" out-rle-vips.bmp
limit "$w" "$photo8rle" out-rle-orvel.bmp
check_same "$w" orvel out-rle-orvel.bmp "$photo8" "the picture encoded"
for tool in im pil vips; do check_same "$w" "$(name_of $tool)" "out-rle-$tool.bmp" out-rle-orvel.bmp; done

# 8 -> 24 bits.
w="8 -> 24 bits"
time_command "$w" orvel out-24-orvel.bmp "$orvel" convert "$photo8" --depth 24 -o out-24-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-24-im.bmp "$magick" "$photo8" -type TrueColor BMP3:out-24-im.bmp
time_command "$w" Pillow out-24-pil.bmp "$python" "$work/pillow_work.py" truecolour "$photo8" out-24-pil.bmp
[[ -n "$vips" ]] && time_command "$w" libvips out-24-vips.bmp "$vips" copy "$photo8" out-24-vips.bmp
limit "$w" "$photo8" out-24-orvel.bmp
check_same "$w" orvel out-24-orvel.bmp "$photo8" "the input"
for tool in im pil vips; do check_same "$w" "$(name_of $tool)" "out-24-$tool.bmp" out-24-orvel.bmp; done

# Start-up of a whole process on a tiny file.
w="start-up: info of a 66-byte file"
time_command "$w" orvel /dev/null "$orvel" info "bw-$side.bmp"
[[ -n "$magick" ]] && time_command "$w" ImageMagick /dev/null /usr/bin/identify-im6.q16 "bw-$side.bmp"

fi

"$python" - "$results" "$side" <<'EOF'
import sys
path, side = sys.argv[1], int(sys.argv[2])
rows = [line.rstrip("\n").split("\t") for line in open(path)]
pixels = side * side
print(f"Pictures of {side} x {side} pixels; whole processes: median wall time, mean CPU time.\n")
print(f"| {'Workload':<32} | {'Tool':<12} | {'Median':>10} | {'CPU':>10} | {'Ratio to orvel':>14} | Output |")
print(f"|{'-' * 34}|{'-' * 14}|{'-' * 12}|{'-' * 12}|{'-' * 16}|--------|")
orvel = {row[0]: float(row[2]) for row in rows if row[1] == "orvel" and row[2]}
for workload, tool, median, check, cpu in rows:
    if not median:
        print(f"| {workload:<32} | {tool:<12} | {'failed':>10} | {'':>10} | {'':>14} | {check} |")
        continue
    seconds = float(median)
    ratio = seconds / orvel[workload] if workload in orvel else float("nan")
    extra = ""
    if tool == "orvel" and ("bits" in workload or "bit," in workload):
        extra = f" ({seconds * 1e9 / pixels:.1f} ns a pixel)"
    print(f"| {workload:<32} | {tool:<12} | {seconds * 1e3:>7.1f} ms | {float(cpu) * 1e3:>7.1f} ms | {ratio:>13.2f}x | {check}{extra} |")
EOF
