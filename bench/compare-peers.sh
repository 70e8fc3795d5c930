#!/usr/bin/env bash
# Times whole processes of the orvel tool beside the programs users would pick instead
# (ImageMagick, Pillow, libvips) doing the same work on the same 4096 x 4096 pictures, with `cp`
# of the same bytes as the limit for work that only moves bytes, and a batch of many small
# pictures. Prints a table of medians with each process's peak resident memory, checks every
# peer's output against orvel's, and sums up orvel's ratios to the fastest peer and to `cp`.
#
#   bench/compare-peers.sh [--build DIR] [--work DIR] [--side N] [--runs N] [--no-install]
#                          [--batch N] [--jobs N] [--formats-only]
#
#   --build DIR   the build with tools/orvel and bench/orvel_bench_inputs (default build/default)
#   --work DIR    where inputs and outputs go (default: /dev/shm/orvel-peers when /dev/shm is a
#                 tmpfs, so the figures are the programs' and not the disk's; else $TMPDIR)
#   --side N      the pictures' side in pixels (default 4096)
#   --runs N      at most N timed runs of each command (default 10; at least 3)
#   --no-install  do not install missing peers; rows of missing peers are left out
#   --batch N     the batch row's number of 64 x 64 pictures (default 10000; 0 leaves it out)
#   --jobs N      orvel's threads in the batch, and GNU parallel's jobs for vips (default: cores)
#   --formats-only  only the PNG and JPEG rows (reading them into BMP, writing BMP as them)
#
# Missing peers are installed from Debian packages (imagemagick, python3-pil, libvips-tools,
# hyperfine, parallel, time), which needs root. Timings: hyperfine, warm page cache (each command
# runs once untimed first, under GNU time for its peak resident memory, which also makes the
# output that is checked), median of the runs; the start-up row runs 100 times after 10 untimed
# runs. The batch runs once per tool, under GNU time.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build/default"
work=""
side=4096
runs=10
install=1
batch=10000
jobs=$(nproc)
formats_only=0
while [[ $# -gt 0 ]]; do
    case "$1" in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --side) side="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --no-install) install=0; shift ;;
    --batch) batch="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    --formats-only) formats_only=1; shift ;;
    -h | --help) sed -n '2,25p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
mogrify=/usr/bin/mogrify-im6.q16
parallel=/usr/bin/parallel
gnutime=/usr/bin/time

have_pillow() { [[ -x "$python" ]] && "$python" -c 'import PIL' 2>/dev/null; }

missing=()
[[ -x "$magick" ]] || missing+=(imagemagick)
have_pillow || missing+=(python3-pil)
[[ -x "$vips" ]] || missing+=(libvips-tools)
[[ -x "$hyperfine" ]] || missing+=(hyperfine)
[[ -x "$parallel" ]] || missing+=(parallel)
[[ -x "$gnutime" ]] || missing+=(time)
if [[ ${#missing[@]} -gt 0 && $install -eq 1 ]]; then
    echo "compare-peers: installing ${missing[*]}" >&2
    apt-get update >/dev/null && apt-get install -y "${missing[@]}" >/dev/null
fi
for needed in "$hyperfine" "$gnutime"; do
    if [[ ! -x "$needed" ]]; then
        echo "compare-peers: $needed is needed (apt-get install hyperfine time)" >&2
        exit 1
    fi
done
if ! have_pillow; then
    echo "compare-peers: Pillow is needed to read the outputs (apt-get install python3-pil)" >&2
    exit 1
fi
[[ -x "$magick" ]] || magick=""
[[ -x "$vips" ]] || vips=""
[[ -x "$mogrify" ]] || mogrify=""
[[ -x "$parallel" ]] || parallel=""

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
image = Image.open(source) if operation != "batch-remap" else None
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
elif operation == "batch-remap":
    # Every picture of the folder `source` onto the palette of sys.argv[4], into `target`.
    import os
    palette = Image.open(sys.argv[4])
    palette.load()
    for name in sorted(os.listdir(source)):
        picture = Image.open(os.path.join(source, name))
        picture.quantize(palette=palette, dither=Image.Dither.NONE).save(os.path.join(target, name))
elif operation == "tiles":
    # sys.argv[4] pictures of 64 x 64 cut from `source` on a grid of 40-pixel steps, into `target`.
    count, across = int(sys.argv[4]), (image.width - 64) // 40 + 1
    for i in range(count):
        x, y = i % across * 40, i // across % across * 40
        image.crop((x, y, x + 64, y + 64)).save(f"{target}/tile{i:05d}.bmp")
elif operation == "rgb":
    with open(target, "wb") as out:
        out.write(image.convert("RGB").tobytes())
elif operation == "palette":
    # The palette of an indexed picture in index order, three bytes an entry.
    with open(target, "wb") as out:
        out.write(bytes(image.getpalette()))
EOF
pillow() { "$python" "$work/pillow_work.py" "$@"; }

# One row of the table per tool and workload: name, tool, median seconds, check result, CPU
# seconds, peak resident kilobytes.
results="$work/results.tsv"
: >"$results"
# Input and output bytes of each workload, for orvel's memory target.
sizes="$work/sizes.tsv"
: >"$sizes"

# time_command WORKLOAD TOOL OUTPUT COMMAND...: runs the command once (making OUTPUT), then times
# it, and records the median.
time_command() {
    local workload="$1" tool="$2" output="$3"
    shift 3
    rm -f "$output"
    if ! "$gnutime" -f %M -o "$work/peak.txt" "$@" >/dev/null 2>"$work/last-error.txt"; then
        echo "compare-peers: $tool failed on '$workload':" >&2
        cat "$work/last-error.txt" >&2
        printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$workload" "$tool" "" "failed" "" "" >>"$results"
        return
    fi
    local peak
    peak=$(tail -n 1 "$work/peak.txt")
    local json="$work/timing.json"
    local quoted
    quoted=$(printf '%q ' "$@")
    "$hyperfine" -N --style none --warmup "${warmup:-0}" --min-runs "${min_runs:-3}" \
        --max-runs "${max_runs:-$runs}" --export-json "$json" "$quoted" >/dev/null \
        2>>"$work/hyperfine.log"
    # The median wall time, and the mean CPU time (user + system), which other work on the
    # machine disturbs less.
    local median cpu
    read -r median cpu < <("$python" -c 'import json,sys; r = json.load(open(sys.argv[1]))["results"][0]; print(r["median"], r["user"] + r["system"])' "$json")
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$workload" "$tool" "$median" "" "$cpu" "$peak" >>"$results"
}

# time_once WORKLOAD TOOL COMMAND...: one run under GNU time (wall, CPU, peak memory), for work
# too long to repeat.
time_once() {
    local workload="$1" tool="$2"
    shift 2
    if ! "$gnutime" -f '%e %U %S %M' -o "$work/once.txt" "$@" >/dev/null 2>"$work/last-error.txt"; then
        echo "compare-peers: $tool failed on '$workload':" >&2
        tail -n 5 "$work/last-error.txt" >&2
        printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$workload" "$tool" "" "failed" "" "" >>"$results"
        return
    fi
    local wall user system peak
    read -r wall user system peak < <(tail -n 1 "$work/once.txt")
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$workload" "$tool" "$wall" "" \
        "$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')" "$peak" >>"$results"
}

# record_sizes WORKLOAD INPUT OUTPUT: the bytes orvel's memory target allows for.
record_sizes() {
    printf '%s\t%s\t%s\n' "$1" "$(stat -c %s "$2")" "$(stat -c %s "$3")" >>"$sizes"
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
record_sizes "$w" "photo24-$side.png" out-png-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-png-im.bmp "$magick" "photo24-$side.png" BMP3:out-png-im.bmp
time_command "$w" Pillow out-png-pil.bmp "$python" "$work/pillow_work.py" copy "photo24-$side.png" out-png-pil.bmp
[[ -n "$vips" ]] && time_command "$w" libvips out-png-vips.bmp "$vips" copy "photo24-$side.png" out-png-vips.bmp
check_same "$w" orvel out-png-orvel.bmp "$photo24" "the picture encoded"
for tool in im pil vips; do check_same "$w" "$(name_of $tool)" "out-png-$tool.bmp" out-png-orvel.bmp; done

w="JPEG -> BMP"
time_command "$w" orvel out-jpg-orvel.bmp "$orvel" convert "photo24-$side.jpg" -o out-jpg-orvel.bmp
record_sizes "$w" "photo24-$side.jpg" out-jpg-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-jpg-im.bmp "$magick" "photo24-$side.jpg" BMP3:out-jpg-im.bmp
time_command "$w" Pillow out-jpg-pil.bmp "$python" "$work/pillow_work.py" copy "photo24-$side.jpg" out-jpg-pil.bmp
[[ -n "$vips" ]] && time_command "$w" libvips out-jpg-vips.bmp "$vips" copy "photo24-$side.jpg" out-jpg-vips.bmp
for tool in im pil vips; do check_same "$w" "$(name_of $tool)" "out-jpg-$tool.bmp" out-jpg-orvel.bmp; done

w="BMP -> PNG"
time_command "$w" orvel out-orvel.png "$orvel" convert "$photo24" -o out-orvel.png
record_sizes "$w" "$photo24" out-orvel.png
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-im.png "$magick" "$photo24" out-im.png
time_command "$w" Pillow out-pil.png "$python" "$work/pillow_work.py" copy "$photo24" out-pil.png
[[ -n "$vips" ]] && time_command "$w" libvips out-vips.png "$vips" copy "$photo24" out-vips.png
for tool in orvel im pil vips; do check_same "$w" "$(name_of $tool)" "out-$tool.png" "$photo24" "the input"; done

w="BMP -> JPEG, quality 90"
time_command "$w" orvel out-orvel.jpg "$orvel" convert "$photo24" --quality 90 -o out-orvel.jpg
record_sizes "$w" "$photo24" out-orvel.jpg
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-im.jpg "$magick" "$photo24" -quality 90 out-im.jpg
time_command "$w" Pillow out-pil.jpg "$python" "$work/pillow_work.py" jpeg "$photo24" out-pil.jpg 90
[[ -n "$vips" ]] && time_command "$w" libvips out-vips.jpg "$vips" copy "$photo24" "out-vips.jpg[Q=90]"
for tool in im pil vips; do check_same "$w" "$(name_of $tool)" "out-$tool.jpg" out-orvel.jpg; done

if [[ $formats_only -eq 0 ]]; then

# Load and save unchanged.
w="load + save 24-bit"
time_command "$w" orvel out-copy-orvel.bmp "$orvel" convert "$photo24" -o out-copy-orvel.bmp
record_sizes "$w" "$photo24" out-copy-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-copy-im.bmp "$magick" "$photo24" BMP3:out-copy-im.bmp
time_command "$w" Pillow out-copy-pil.bmp "$python" "$work/pillow_work.py" copy "$photo24" out-copy-pil.bmp
[[ -n "$vips" ]] && time_command "$w" libvips out-copy-vips.bmp "$vips" copy "$photo24" out-copy-vips.bmp
limit "$w" "$photo24" out-copy-orvel.bmp
for tool in orvel im pil vips; do check_same "$w" "$(name_of $tool)" "out-copy-$tool.bmp" "$photo24" "the input"; done

# 24 -> 8 bits onto the halftone palette, no dithering.
w="24 -> 8 bits, halftone palette"
time_command "$w" orvel out-8-orvel.bmp "$orvel" convert "$photo24" --depth 8 --palette halftone -o out-8-orvel.bmp
record_sizes "$w" "$photo24" out-8-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-8-im.bmp "$magick" "$photo24" +dither -remap "$halftone" -compress None BMP3:out-8-im.bmp
time_command "$w" Pillow out-8-pil.bmp "$python" "$work/pillow_work.py" remap "$photo24" out-8-pil.bmp "$halftone"
for tool in orvel im pil; do check_nearest "$w" "$(name_of $tool)" "out-8-$tool.bmp" "$work/halftone.rgb"; done

# 24 -> 1 bit onto black and white, no dithering.
w="24 -> 1 bit, black and white"
time_command "$w" orvel out-1-orvel.bmp "$orvel" convert "$photo24" --depth 1 -o out-1-orvel.bmp
record_sizes "$w" "$photo24" out-1-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-1-im.bmp "$magick" "$photo24" +dither -remap "bw-$side.bmp" -compress None BMP3:out-1-im.bmp
time_command "$w" Pillow out-1-pil.bmp "$python" "$work/pillow_work.py" blackwhite "$photo24" out-1-pil.bmp
for tool in orvel im pil; do check_nearest "$w" "$(name_of $tool)" "out-1-$tool.bmp" "$work/bw.rgb"; done

# Nearest-neighbour resizing to half and to double the size.
for target in "$half" "$double"; do
    w="resize 24-bit to ${target}x${target}"
    time_command "$w" orvel "out-$target-orvel.bmp" "$orvel" convert "$photo24" --size "${target}x${target}" -o "out-$target-orvel.bmp"
    record_sizes "$w" "$photo24" "out-$target-orvel.bmp"
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
record_sizes "$w" "$photo8rle" out-rle-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-rle-im.bmp "$magick" "$photo8rle" -compress None BMP3:out-rle-im.bmp
time_command "$w" Pillow out-rle-pil.bmp "$python" "$work/pillow_work.py" copy "$photo8rle" out-rle-pil.bmp
[[ -n "$vips" ]] && time_command "$w" libvips out-rle-vips.bmp "$vips" copy "$photo8rle" out-rle-vips.bmp
limit "$w" "$photo8rle" out-rle-orvel.bmp
check_same "$w" orvel out-rle-orvel.bmp "$photo8" "the picture encoded"
for tool in im pil vips; do check_same "$w" "$(name_of $tool)" "out-rle-$tool.bmp" out-rle-orvel.bmp; done

# 8 -> 24 bits.
w="8 -> 24 bits"
time_command "$w" orvel out-24-orvel.bmp "$orvel" convert "$photo8" --depth 24 -o out-24-orvel.bmp
record_sizes "$w" "$photo8" out-24-orvel.bmp
[[ -n "$magick" ]] && time_command "$w" ImageMagick out-24-im.bmp "$magick" "$photo8" -type TrueColor BMP3:out-24-im.bmp
time_command "$w" Pillow out-24-pil.bmp "$python" "$work/pillow_work.py" truecolour "$photo8" out-24-pil.bmp
[[ -n "$vips" ]] && time_command "$w" libvips out-24-vips.bmp "$vips" copy "$photo8" out-24-vips.bmp
limit "$w" "$photo8" out-24-orvel.bmp
check_same "$w" orvel out-24-orvel.bmp "$photo8" "the input"
for tool in im pil vips; do check_same "$w" "$(name_of $tool)" "out-24-$tool.bmp" out-24-orvel.bmp; done

# Start-up of a whole process on a tiny file. A few milliseconds vary with the machine more than
# with the program, so each tool runs 100 times after 10 untimed runs.
w="start-up: info of a 66-byte file"
warmup=10 min_runs=100 max_runs=100 time_command "$w" orvel /dev/null "$orvel" info "bw-$side.bmp"
[[ -n "$magick" ]] && warmup=10 min_runs=100 max_runs=100 \
    time_command "$w" ImageMagick /dev/null /usr/bin/identify-im6.q16 "bw-$side.bmp"

# Many small pictures: 64 x 64 tiles of the photo to 8 bits on the halftone palette, each tool
# over the same files once.
if [[ "$batch" -gt 0 ]]; then
    w="batch: $batch of 64x64 to 8 bits"
    tiles="$work/tiles-$batch"
    if [[ ! -f "$tiles/tile$(printf %05d $((batch - 1))).bmp" ]]; then
        rm -rf "$tiles" && mkdir -p "$tiles"
        pillow tiles "$photo24" "$tiles" "$batch"
    fi
    for tool in orvel im pil vips; do rm -rf "$work/batch-$tool" && mkdir -p "$work/batch-$tool"; done
    time_once "$w" orvel "$orvel" convert "$tiles"/*.bmp --depth 8 --palette halftone --jobs "$jobs" \
        --out-dir "$work/batch-orvel"
    [[ -n "$mogrify" ]] && time_once "$w" ImageMagick "$mogrify" -path "$work/batch-im" +dither -remap "$halftone" \
        -define bmp:format=bmp3 -compress None "$tiles"/*.bmp
    time_once "$w" Pillow "$python" "$work/pillow_work.py" batch-remap "$tiles" "$work/batch-pil" "$halftone"
    # vips has no mapping onto a given palette: its own 8-bit palette quantisation, to PNG. One
    # process a file costs it a tenth of a second or more, so it runs over the first $vipsFiles
    # files only and its time is scaled to the whole batch.
    vipsFiles=$((batch < 500 ? batch : 500))
    [[ -n "$vips" && -n "$parallel" ]] && time_once "$w" "libvips (parallel)" "$parallel" -j "$jobs" \
        "$vips" pngsave {} "$work/batch-vips/{/.}.png" --palette --dither 0 ::: \
        $(find "$tiles" -name '*.bmp' | sort | head -n "$vipsFiles")
    "$python" - "$results" "$w" "$batch" "$vipsFiles" <<'EOF'
import sys
path, workload, batch, sample = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
rows = [line.rstrip("\n").split("\t") for line in open(path)]
for row in rows:
    if row[0] == workload and row[1] == "libvips (parallel)" and row[2]:
        row[2] = str(float(row[2]) * batch / sample)
        row[4] = str(float(row[4]) * batch / sample)
open(path, "w").write("".join("\t".join(row) + "\n" for row in rows))
EOF
    for tool in orvel im pil vips; do
        made=$(find "$work/batch-$tool" -type f | wc -l)
        note=""
        [[ $tool == vips ]] && note=", times scaled from $vipsFiles"
        set_check "$w" "$(name_of $tool)$([[ $tool == vips ]] && echo ' (parallel)')" "$made files$note"
    done
fi

fi

"$python" - "$results" "$sizes" "$side" <<'EOF'
import sys
path, sizes_path, side = sys.argv[1], sys.argv[2], int(sys.argv[3])
rows = [line.rstrip("\n").split("\t") for line in open(path)]
sizes = {w: (int(i), int(o)) for w, i, o in (line.rstrip("\n").split("\t") for line in open(sizes_path))}
pixels = side * side
mib = lambda kb: f"{int(kb) / 1024:.1f} MiB" if kb else ""
print(f"Pictures of {side} x {side} pixels; whole processes: median wall time, mean CPU time, peak")
print("resident memory (the batch: one run each).\n")
print(f"| {'Workload':<32} | {'Tool':<18} | {'Median':>10} | {'CPU':>10} | {'Peak memory':>11} | {'Ratio to orvel':>14} | Output |")
print(f"|{'-' * 34}|{'-' * 20}|{'-' * 12}|{'-' * 12}|{'-' * 13}|{'-' * 16}|--------|")
orvel = {row[0]: float(row[2]) for row in rows if row[1] == "orvel" and row[2]}
for workload, tool, median, check, cpu, peak in rows:
    if not median:
        print(f"| {workload:<32} | {tool:<18} | {'failed':>10} | {'':>10} | {'':>11} | {'':>14} | {check} |")
        continue
    seconds = float(median)
    ratio = seconds / orvel[workload] if workload in orvel else float("nan")
    extra = ""
    if tool == "orvel" and ("bits" in workload or "bit," in workload) and "batch" not in workload:
        extra = f" ({seconds * 1e9 / pixels:.1f} ns a pixel)"
    if workload.startswith("batch:"):
        extra = f", {int(workload.split()[1]) / seconds:.0f} files/s"
    print(f"| {workload:<32} | {tool:<18} | {seconds * 1e3:>7.1f} ms | {float(cpu) * 1e3:>7.1f} ms | {mib(peak):>11} | {ratio:>13.2f}x | {check}{extra} |")

# Orvel against its targets: at least twice the fastest peer, within 1.5x cp (1.2x for load +
# save) where the work only moves bytes, peak memory within input + output + 10%.
print(f"\n| {'Workload':<32} | {'Fastest peer':<18} | {'Peer / orvel':>12} | {'Orvel / cp':>10} | {'Orvel peak':>10} | {'Input + output':>14} | {'Peak / (in + out)':>17} |")
print(f"|{'-' * 34}|{'-' * 20}|{'-' * 14}|{'-' * 12}|{'-' * 12}|{'-' * 16}|{'-' * 19}|")
for workload in dict.fromkeys(row[0] for row in rows):
    mine = [r for r in rows if r[0] == workload and r[1] == "orvel" and r[2]]
    peers = [r for r in rows if r[0] == workload and r[1] not in ("orvel", "cp (limit)") and r[2]]
    cp = [r for r in rows if r[0] == workload and r[1] == "cp (limit)" and r[2]]
    if not mine:
        continue
    seconds, peak = float(mine[0][2]), mine[0][5]
    fastest = min(peers, key=lambda r: float(r[2])) if peers else None
    peer_ratio = f"{float(fastest[2]) / seconds:.2f}x" if fastest else ""
    cp_ratio = f"{seconds / float(cp[0][2]):.2f}x" if cp else ""
    inout = sizes.get(workload)
    allowed = f"{(inout[0] + inout[1]) / 1048576:.1f} MiB" if inout else ""
    share = f"{int(peak) * 1024 / (inout[0] + inout[1]):.2f}" if inout and peak else ""
    print(f"| {workload:<32} | {fastest[1] if fastest else '':<18} | {peer_ratio:>12} | {cp_ratio:>10} | {mib(peak):>10} | {allowed:>14} | {share:>17} |")
EOF
