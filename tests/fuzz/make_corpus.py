#!/usr/bin/env python3
"""Writes the fuzzing seed corpus: a few small real GIFs from
tests/fixtures/gifs (origins in its SOURCES) and hand-made edge cases, each
behind the fuzz target's option bytes (see convert_fuzzer.cpp).
    python3 tests/fuzz/make_corpus.py
Inputs found by fuzzing (named finding-*) are kept as they are."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus")
FIXTURES = os.path.join(HERE, "..", "fixtures", "gifs")

CHANGE_LOOP, LOOP_FOREVER, BORDER, BACKGROUND, CROP, LINK, PROTECT, BIG_PLAY = (1 << i for i in range(8))


def options(flags=0, play=0, threads=1, url=b""):
    assert len(url) < 16
    return bytes([flags, play & 0xFF, (threads - 1) | (len(url) << 4)]) + url


def lzw(indices, min_size, clear_first=True, end=True):
    """A plain GIF LZW encoder, enough for the seeds."""
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    out, acc, nbits = bytearray(), 0, 0
    width, table, next_code = min_size + 1, {}, eoi + 1

    def put(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    if clear_first:
        put(clear)
    prefix = None
    for v in indices:
        if prefix is None:
            prefix = (v,)
            continue
        s = prefix + (v,)
        if s in table:
            prefix = s
            continue
        put(table[prefix] if len(prefix) > 1 else prefix[0])
        if next_code < 4096:
            table[s] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            put(clear)
            table, next_code, width = {}, eoi + 1, min_size + 1
        prefix = (v,)
    if prefix is not None:
        put(table[prefix] if len(prefix) > 1 else prefix[0])
    if end:
        put(eoi)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def sub_blocks(data, size=255):
    out = bytearray()
    for i in range(0, len(data), size):
        chunk = data[i:i + size]
        out += bytes([len(chunk)]) + chunk
    return bytes(out) + b"\0"


def header(w, h, table_bits=0, background=0, version=b"89a"):
    packed = 0x80 | (table_bits - 1) if table_bits else 0
    out = b"GIF" + version + struct.pack("<HHBBB", w, h, packed, background, 0)
    if table_bits:
        out += bytes((i * 37 + c * 91) & 0xFF for i in range(1 << table_bits) for c in range(3))
    return out


def gce(disposal=0, delay=0, transparent=None):
    packed = (disposal << 2) | (1 if transparent is not None else 0)
    return b"\x21\xF9\x04" + struct.pack("<BHB", packed, delay, transparent or 0) + b"\0"


def netscape(loops):
    return b"\x21\xFF\x0BNETSCAPE2.0\x03\x01" + struct.pack("<H", loops) + b"\0"


def image(left, top, w, h, pixels=None, min_size=2, local_bits=0, interlaced=False, data=None):
    packed = (0x80 | (local_bits - 1) if local_bits else 0) | (0x40 if interlaced else 0)
    out = b"\x2C" + struct.pack("<HHHHB", left, top, w, h, packed)
    if local_bits:
        out += bytes((255 - i * 13) & 0xFF for i in range(3 << local_bits))
    if data is None:
        if pixels is None:
            pixels = [(x * 7 + x // 3) % (1 << min_size) for x in range(w * h)]
        data = bytes([min_size]) + sub_blocks(lzw(pixels, min_size))
    return out + data


TRAILER = b"\x3B"


def seeds():
    s = {}
    small = header(4, 4, 2) + gce(0, 10) + image(0, 0, 4, 4) + TRAILER
    s["minimal"] = options() + small
    s["minimal-87a-all-options"] = options(0x7F, 3, 2, b"http://a.b/") + header(4, 4, 2, 1, b"87a") + \
        image(0, 0, 4, 4) + TRAILER
    # Cut in the header, in the colour table, in the image data.
    s["truncated-header"] = options() + small[:9]
    s["truncated-table"] = options(BORDER) + small[:16]
    s["truncated-data"] = options(CROP) + small[:len(small) - 6]
    s["no-colour-table"] = options(BORDER | BACKGROUND) + header(8, 8) + image(0, 0, 8, 8, min_size=8,
        pixels=[(i * 29) & 0xFF for i in range(64)]) + TRAILER
    # Big screens with a tiny frame: one inside the screen limit, one past it.
    s["huge-screen-tiny-frame"] = options(CROP | BACKGROUND) + header(4096, 4096, 1) + image(4000, 4000, 2, 2,
        min_size=1) + TRAILER
    s["screen-past-limit"] = options() + header(65535, 65535, 1) + image(0, 0, 1, 1, min_size=1) + TRAILER
    s["zero-size-frames"] = options(BORDER) + header(6, 6, 2) + image(0, 0, 0, 0) + image(2, 2, 0, 5) + \
        image(1, 1, 3, 0) + image(0, 0, 2, 2) + TRAILER
    s["frame-off-screen"] = options(CROP) + header(10, 10, 2) + image(65000, 9, 4, 4) + image(8, 8, 4, 4) + TRAILER
    s["frame-larger-than-screen"] = options() + header(3, 3, 2) + image(0, 0, 4, 4) + TRAILER
    # LZW oddities: codes past the table, odd minimum sizes, no clear code,
    # a full table without a clear, an early end code, data after the end.
    s["lzw-bad-codes"] = options() + header(8, 8, 2) + image(0, 0, 8, 8, data=b"\x02" + sub_blocks(
        bytes([0x84, 0xFF, 0xFF, 0x1F, 0xE0, 0x7F]))) + TRAILER
    s["lzw-min-size-0-and-12"] = options() + header(4, 4, 1) + image(0, 0, 4, 4, data=b"\x00\x02\x44\x01\x00") + \
        image(0, 0, 4, 4, data=b"\x0C\x03\x00\x10\x00\x00") + image(0, 0, 4, 4, data=b"\xFF\x01\x00\x00") + TRAILER
    s["lzw-no-clear"] = options() + header(16, 16, 4) + image(0, 0, 16, 16, min_size=4, data=b"\x04" + sub_blocks(
        lzw([i % 16 for i in range(256)], 4, clear_first=False))) + TRAILER
    s["lzw-table-full"] = options(CROP) + header(200, 100, 8) + image(0, 0, 200, 100, min_size=8, data=b"\x08" +
        sub_blocks(lzw([(i * 7919) % 251 for i in range(20000)], 8))) + TRAILER
    s["lzw-early-end"] = options(BORDER) + header(8, 8, 2) + image(0, 0, 8, 8, data=b"\x02" + sub_blocks(
        lzw([1, 2, 3], 2)) + b"\x03\x01\x02\x03\x00") + TRAILER
    s["lzw-no-terminator"] = options() + header(8, 8, 2) + b"\x2C" + struct.pack("<HHHHB", 0, 0, 8, 8, 0) + \
        b"\x02\x05" + lzw([1] * 64, 2)[:5]
    s["interlaced-heights"] = options(BORDER | CROP) + header(9, 9, 2) + b"".join(
        image(0, 0, 9, h, interlaced=True) for h in range(1, 10)) + TRAILER
    # Extensions with odd lengths and odd places.
    s["odd-extensions"] = options(CHANGE_LOOP, 5) + header(4, 4, 2) + \
        b"\x21\xF9\x00\x00" + b"\x21\xF9\x0A" + bytes(10) + b"\0" + \
        b"\x21\xFF\x0BNETSCAPE2.0\x01\x01\0" + b"\x21\xFF\x05ABCDE\x02xy\0" + \
        b"\x21\xFF\x0BXMPDataXMP" + bytes(range(1, 40)) + b"\0" + \
        b"\x21\x01\x0C" + bytes(12) + b"\x03abc\0" + b"\x21\xFE\x05hello\x03abc\0" + \
        b"\x21\x77\xFF" + bytes(255) + b"\0" + image(0, 0, 4, 4) + b"\x00\x00\x99" + TRAILER
    s["comment-unterminated"] = options() + header(4, 4, 2) + image(0, 0, 4, 4) + b"\x21\xFE\x09unfinished"
    s["netscape-loop-then-frames"] = options(LINK | PROTECT) + header(5, 5, 3, 2) + netscape(3) + \
        gce(2, 5, 1) + image(0, 0, 5, 5, min_size=3) + gce(3, 200, 7) + image(1, 1, 3, 3, min_size=3) + TRAILER
    # Many frames: every disposal, transparency and delay, link and loop options.
    frames = b"".join(gce(i % 4, i % 7 * 13, (i * 3) % 4 if i % 2 else None) +
                      image(i % 6, i % 5, 1 + i % 4, 1 + i % 3) for i in range(150))
    s["many-frames"] = options(LINK | CHANGE_LOOP | BIG_PLAY, 200, 4, b"x") + header(8, 8, 2, 1) + netscape(0) + \
        frames + TRAILER
    s["full-table-transparent"] = options(BORDER | BACKGROUND | CROP) + header(6, 6, 8, 255) + \
        gce(0, 0, 255) + image(0, 0, 6, 6, min_size=8, pixels=[255, 0, 1, 2, 3, 255] * 6) + \
        image(0, 0, 6, 6, min_size=8, local_bits=1, pixels=[0, 1] * 18) + TRAILER
    s["not-a-gif"] = options() + b"PNG\x0d\x0a\x1a\x0a" + bytes(20)
    return s


REAL = {
    "dokuwiki_throbber.gif": options(),
    "yahoo_moneyeyes.gif": options(BORDER | CROP | BACKGROUND),
    "mrtg_m.gif": options(CHANGE_LOOP | LOOP_FOREVER | PROTECT),
    "gifwrap_count_loop3.gif": options(LINK, 0, 1, b"http://x.example"[:15]),
    "gdk_pixbuf_test_animation.gif": options(CHANGE_LOOP | BORDER, -3),
    "apache_pb.gif": options(CROP | BORDER | BACKGROUND | LINK),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name in os.listdir(OUT):
        if not name.startswith("finding-"):
            os.remove(os.path.join(OUT, name))
    for name, data in seeds().items():
        with open(os.path.join(OUT, "edge-" + name), "wb") as f:
            f.write(data)
    for name, opts in REAL.items():
        with open(os.path.join(FIXTURES, name), "rb") as f:
            gif = f.read()
        with open(os.path.join(OUT, "real-" + name[:-4]), "wb") as f:
            f.write(opts + gif)


if __name__ == "__main__":
    main()
