#!/usr/bin/env bash
# The README's recipe for an archive that outgrows one machine, run with two
# local "hosts" (two job slots of GNU parallel on this machine): the list is
# split and each share converted by its own `tervano --files-from - -0`.
# Every movie must be the one a single run over the whole list writes, and
# the gathered exit status must tell a failed file.
#   distributed.sh TERVANO WORK_DIR
# Exit 77 when GNU parallel is missing.
set -uo pipefail

tervano=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$2
if ! parallel --version 2>/dev/null | grep -q "GNU parallel"; then
  echo "SKIPPED: no GNU parallel; run scripts/install-deps.sh --all"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/archive" "$work/home"
cd "$work" || exit 1
export HOME="$work/home" TERVANO_CONFIG_DIR="$work/store" PARALLEL_HOME="$work/home/.parallel"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Four hundred small GIFs in nested folders, some names with spaces; pixels,
# sizes, palettes and frame counts from a fixed seed. Codes stay 3 bits wide
# (a clear code every two pixels), so no compressor is needed.
python3 - "$work/archive" <<'PY'
import os, random, struct, sys
root = sys.argv[1]
rng = random.Random(19)
def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out += bytes([len(chunk)]) + chunk
    return out + b"\0"
def image_data(pixels):
    codes = []
    for i in range(0, len(pixels), 2):
        codes.append(4)
        codes.extend(pixels[i:i + 2])
    codes.append(5)
    bits = 0
    value = 0
    out = bytearray()
    for c in codes:
        value |= c << bits
        bits += 3
        while bits >= 8:
            out.append(value & 0xFF)
            value >>= 8
            bits -= 8
    if bits:
        out.append(value & 0xFF)
    return bytes([2]) + sub_blocks(bytes(out))
for n in range(400):
    w, h = rng.randint(4, 40), rng.randint(4, 40)
    palette = bytes(rng.randrange(256) for _ in range(12))
    gif = bytearray(b"GIF89a" + struct.pack("<HHBBB", w, h, 0x81, 0, 0) + palette)
    gif += b"!\xff\x0bNETSCAPE2.0\x03\x01" + struct.pack("<H", rng.randint(0, 3)) + b"\0"
    for _ in range(rng.randint(1, 3)):
        gif += b"!\xf9\x04" + bytes([0]) + struct.pack("<H", rng.randint(5, 50)) + b"\0\0"
        gif += b"," + struct.pack("<HHHHB", 0, 0, w, h, 0)
        gif += image_data([rng.randrange(4) for _ in range(w * h)])
    gif += b";"
    folder = os.path.join(root, f"part {n % 7}", f"box{n % 3}")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, f"anim {n:03}.gif" if n % 5 == 0 else f"anim{n:03}.gif"), "wb") as f:
        f.write(gif)
PY
count=$(find archive -name '*.gif' | wc -l)
[ "$count" = 400 ] || fail "made $count GIFs"

# One process over the whole list.
(cd archive && find . -name '*.gif' -print0 | "$tervano" -q --files-from - -0 -o "$work/single")
rc=$?
[ "$rc" = 0 ] || fail "single run: exit $rc"

# The recipe, with two "hosts" of one job slot each on this machine; the
# block size gives each host several shares.
recipe() {
  local out=$1
  (cd archive && find . -name '*.gif' -print0 |
    parallel --pipe --recend '\0' --block 1k --jobs 1 --sshlogin 2/: --joblog "$work/$out.log" \
      "cd '$work/archive' && '$tervano' -q --files-from - -0 -o '$work/$out'")
}
recipe spread
rc=$?
[ "$rc" = 0 ] || fail "recipe: exit $rc"
shares=$(($(wc -l <"$work/spread.log") - 1))
[ "$shares" -ge 4 ] || fail "the list went out in $shares shares only"
movies=$(find spread -name '*.swf' | wc -l)
[ "$movies" = "$count" ] || fail "recipe wrote $movies movies for $count GIFs"
different=0
for m in single/*.swf; do
  cmp -s "$m" "spread/$(basename "$m")" || different=$((different + 1))
done
[ "$different" = 0 ] || fail "$different movies differ from the single run"

# A file that is no GIF among them: its share fails, and so does the whole.
printf 'not a picture' >"archive/part 3/box1/broken.gif"
recipe broken 2>"$work/broken.err"
rc=$?
[ "$rc" = 1 ] || fail "recipe with a broken file: exit $rc, not 1 (one share failed)"
grep -q "broken.gif: not a GIF file" broken.err || fail "the broken file is not named: $(cat broken.err)"
[ "$(find broken -name '*.swf' | wc -l)" = "$count" ] || fail "the other files were not all converted"

if [ "$failures" -gt 0 ]; then
  echo "distributed: $failures failures"
  exit 1
fi
echo "distributed: $count GIFs in $shares shares on two hosts, every movie as in one run; a broken file fails its share"
