#!/usr/bin/env bash
# Usage: make-corpus.sh FOLDER
# Makes the bad-input corpus from nothing into FOLDER (which must be empty or absent):
#   FOLDER/pictures/  well-formed, damaged and deceptive picture files and hostile names
#   FOLDER/deep/...   a picture at the end of a path of about 4,000 characters
#   FOLDER/locked/    a folder without read or execute permission, a picture inside
#   FOLDER/large/     a good progressive JPEG whose decoder needs 162 MB
#   FOLDER/manifest.tsv  one line per entry of pictures/: hex of the name's bytes, whether the
#                     picture list must hold it (1/0), and its kind: good, shown, bad, huge or none
# Every byte is written by this script; the random bytes come from a fixed seed.
set -euo pipefail
out=${1:?usage: make-corpus.sh FOLDER}
exec python3 - "$out" <<'PY'
import os, random, struct, sys, zlib

out = os.fsencode(sys.argv[1])
pics = os.path.join(out, b"pictures")
os.makedirs(pics, exist_ok=True)
rng = random.Random(20261209)
manifest = []


def put(name, data, listed, kind):
    with open(os.path.join(pics, name), "wb") as f:
        f.write(data)
    manifest.append((name, listed, kind))


def note(name, listed, kind):
    manifest.append((name, listed, kind))


# --- well-formed pictures, written field by field -------------------------------------------
def bmp(width, height, stored_height=None, bits=24):
    """24- or 32-bit BMP (32 with colour masks); stored_height overrides the height field
    (negative means top-down)."""
    row = (width * bits // 8 + 3) & ~3
    pixels = bytearray()
    for y in range(abs(height)):
        line = bytearray()
        for x in range(width):
            line += bytes(((x * 40) & 255, (y * 40) & 255, 128)) + b"\0" * (bits // 8 - 3)
        pixels += line + b"\0" * (row - len(line))
    h = height if stored_height is None else stored_height
    info = struct.pack("<IiiHHIIiiII", 40, width, h, 1, bits, 0 if bits == 24 else 3, len(pixels),
                       2835, 2835, 0, 0)
    if bits == 32:
        info += struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + bytes(pixels)


def gif_frame(width, height, colour_of, left=0, top=0):
    """Image descriptor plus LZW data with code size 3 kept by a clear code every two pixels."""
    codes = []
    pixels = [colour_of(x, y) for y in range(height) for x in range(width)]
    for i in range(0, len(pixels), 2):
        codes.append(4)  # clear
        codes += pixels[i:i + 2]
    codes.append(5)  # end of information
    bits, nbits, data = 0, 0, bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += 3
        while nbits >= 8:
            data.append(bits & 255)
            bits >>= 8
            nbits -= 8
    if nbits:
        data.append(bits & 255)
    blocks = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        blocks += bytes((len(chunk),)) + chunk
    desc = b"," + struct.pack("<HHHHB", left, top, width, height, 0)
    return desc + b"\x02" + bytes(blocks) + b"\0"


PALETTE = bytes((0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255))


def gif(width, height, screen=None, frames=1):
    sw, sh = screen or (width, height)
    data = b"GIF89a" + struct.pack("<HHBBB", sw, sh, 0xF1, 0, 0) + PALETTE
    if frames > 1:
        data += b"!\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    for f in range(frames):
        if frames > 1:
            data += b"!\xf9\x04\x04" + struct.pack("<H", 10) + b"\x00\x00"
        data += gif_frame(width, height, lambda x, y: (x + y + f) % 4)
    return data + b";"


def jpeg(width, height, sof_size=None):
    """Baseline grey JPEG whose blocks are all flat mid-grey: one-symbol Huffman tables make
    every 8x8 block two bits (DC difference 0, end of block)."""
    w, h = sof_size or (width, height)
    dqt = b"\xff\xdb" + struct.pack(">H", 67) + b"\x00" + bytes([1] * 64)
    sof = b"\xff\xc0" + struct.pack(">HBHHB", 11, 8, h, w, 1) + b"\x01\x11\x00"
    counts = bytes([1] + [0] * 15)
    dht = (b"\xff\xc4" + struct.pack(">H", 2 + 17 + 1) + b"\x00" + counts + b"\x00" +
           b"\xff\xc4" + struct.pack(">H", 2 + 17 + 1) + b"\x10" + counts + b"\x00")
    sos = b"\xff\xda" + struct.pack(">HB", 8, 1) + b"\x01\x00" + b"\x00\x3f\x00"
    blocks = ((width + 7) // 8) * ((height + 7) // 8)
    nbytes = (blocks * 2 + 7) // 8
    scan = b"\x00" * nbytes
    return b"\xff\xd8" + dqt + sof + dht + sos + scan + b"\xff\xd9"


def png(width, height):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes(b for x in range(width) for b in (x * 30 & 255, y * 30 & 255, 99))
                   for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


good = {b"jpg": jpeg(32, 24), b"gif": gif(8, 6), b"bmp": bmp(8, 6)}
for ext, data in good.items():
    put(b"good." + ext, data, 1, "good")
put(b"UPPER.JPG", good[b"jpg"], 1, "good")
put(b"Mixed.GiF", good[b"gif"], 1, "good")
put(b"animated.gif", gif(8, 6, frames=3), 1, "good")
put(b"bmp-top-down.bmp", bmp(8, 6, stored_height=-6), 1, "good")
put(b"bmp-32-masks.bmp", bmp(7, 5, bits=32), 1, "good")

# --- hostile names around good content ----------------------------------------------------
put(b"name with  spaces .jpg", good[b"jpg"], 1, "good")
put(b"-leading-dash.jpg", good[b"jpg"], 1, "good")
put(b"--.bmp", good[b"bmp"], 1, "good")
put(b"new\nline.gif", good[b"gif"], 1, "good")
put(b"tab\tand\rreturn.bmp", good[b"bmp"], 1, "good")
put(b"latin1-\xe9t\xe9.jpg", good[b"jpg"], 1, "good")
put(b"lone-\xff\xfe-bytes.gif", good[b"gif"], 1, "good")
put(b"utf8-\xc3\xa9\xe2\x82\xac\xf0\x9f\x93\xb7.bmp", good[b"bmp"], 1, "good")
put(b"a" * 251 + b".jpg", good[b"jpg"], 1, "good")
put(b"%s%n%x.gif", good[b"gif"], 1, "good")
put(b"back\\slash.jpg", good[b"jpg"], 1, "good")

# --- damaged files: empty, cut short, overwritten, random -----------------------------------
for ext, data in good.items():
    put(b"zero." + ext, b"", 1, "bad")
    for cut in sorted({1, 2, 6, 14, 30, len(data) // 2, len(data) - 2, len(data) - 1}):
        if 0 < cut < len(data):
            # A JPEG cut inside its scan data is still drawn (the rest grey); only cuts in the
            # headers are certain failures. GIF and BMP readers differ alike; "cut" says maybe.
            put(b"cut-%d." % cut + ext, data[:cut], 1, "cut")
    for n in range(3):
        damaged = bytearray(data)
        for _ in range(6):
            pos = rng.randrange(2, len(damaged))
            damaged[pos] = rng.randrange(256)
        put(b"flipped-%d." % n + ext, bytes(damaged), 1, "cut")
    for n, size in enumerate((1, 17, 4096)):
        put(b"random-%d." % n + ext, bytes(rng.randrange(256) for _ in range(size)), 1, "bad")

# --- headers that claim more than they hold ------------------------------------------------
put(b"jpeg-65535x65535.jpg", jpeg(16, 16, sof_size=(65535, 65535)), 1, "huge")
put(b"jpeg-zero-width.jpg", jpeg(16, 16, sof_size=(0, 16)), 1, "bad")
put(b"bmp-min-height.bmp", bmp(8, 6, stored_height=-2**31), 1, "huge")
put(b"bmp-huge-height.bmp", bmp(8, 6, stored_height=2**31 - 1), 1, "huge")
put(b"bmp-60000-square.bmp",
    struct.pack("<2sIHHI", b"BM", 54, 0, 0, 54) +
    struct.pack("<IiiHHIIiiII", 40, 60000, 60000, 1, 24, 0, 0, 0, 0, 0, 0), 1, "huge")
# A screen far larger than its one frame: the picture is the frame where it lies on the screen
# (shown by the program, though Qt's reader alone refuses the screen).
put(b"gif-huge-screen.gif", gif(8, 6, screen=(65535, 65535)), 1, "shown")

# --- costly to decode: full-size coefficient buffers, thousands of empty scans ----------------
def progressive(width, height, comps=1, scans=0, arithmetic=False):
    """Progressive JPEG (Huffman or arithmetic coded) whose scans carry no entropy-coded data:
    a DC scan, then `scans` repeated AC scans of the first component. A decoder keeps
    coefficients for the whole picture and visits every block of every scan."""
    dqt = b"\xff\xdb" + struct.pack(">H", 67) + b"\x00" + bytes([1] * 64)
    sof = (b"\xff\xca" if arithmetic else b"\xff\xc2") + struct.pack(
        ">HBHHB", 8 + 3 * comps, 8, height, width, comps)
    sof += b"".join(bytes((c + 1, 0x11, 0)) for c in range(comps))
    counts = bytes([1] + [0] * 15)
    dht = b"" if arithmetic else (b"\xff\xc4" + struct.pack(">H", 2 + 17 + 1) + b"\x00" + counts +
                                  b"\x00" + b"\xff\xc4" + struct.pack(">H", 2 + 17 + 1) + b"\x10" +
                                  counts + b"\x00")
    dc = b"\xff\xda" + struct.pack(">HB", 6 + 2 * comps, comps)
    dc += b"".join(bytes((c + 1, 0)) for c in range(comps)) + b"\x00\x00\x00"
    ac = b"\xff\xda" + struct.pack(">HB", 8, 1) + b"\x01\x00" + b"\x01\x3f\x00"
    return b"\xff\xd8" + dqt + sof + dht + dc + ac * scans + b"\xff\xd9"


# At its own size its buffers alone exceed what one picture may use: refused as too large.
put(b"scans-20000-8192-square.jpg", progressive(8192, 8192, scans=20000), 1, "huge")
put(b"scans-5000-4096-square.jpg", progressive(4096, 4096, scans=5000), 1, "bad")
put(b"progressive-grey-32768-square.jpg", progressive(32768, 32768), 1, "huge")
put(b"arithmetic-grey-32768-square.jpg", progressive(32768, 32768, arithmetic=True), 1, "huge")
put(b"progressive-colour-16384-square.jpg", progressive(16384, 16384, comps=3), 1, "huge")
# A 16x16 picture at the start of a 1 GiB file that is almost all hole.
put(b"sparse-1gib.bmp", bmp(16, 16), 1, "good")
with open(os.path.join(pics, b"sparse-1gib.bmp"), "r+b") as f:
    f.truncate(1 << 30)


def progressive_flat(width, height):
    """Valid progressive grey JPEG of flat mid-grey: a DC scan of one-bit blocks, then one AC scan
    that ends every block at once with runs of end-of-band codes (symbol r0: a run of 2^r plus
    r extra bits, 15 symbols of four-bit codes)."""
    blocks = ((width + 7) // 8) * ((height + 7) // 8)
    dqt = b"\xff\xdb" + struct.pack(">H", 67) + b"\x00" + bytes([1] * 64)
    sof = b"\xff\xc2" + struct.pack(">HBHHB", 11, 8, height, width, 1) + b"\x01\x11\x00"
    dc_table = b"\x00" + bytes([1] + [0] * 15) + b"\x00"
    ac_table = b"\x10" + bytes([0, 0, 0, 15] + [0] * 12) + bytes(r << 4 for r in range(15))
    dht = b"\xff\xc4" + struct.pack(">H", 2 + len(dc_table) + len(ac_table)) + dc_table + ac_table
    bits = "0" * blocks
    dc = b"\xff\xda" + struct.pack(">HB", 8, 1) + b"\x01\x00" + b"\x00\x00\x00"
    runs, left = "", blocks
    while left:
        run = min(left, 32767)
        r = run.bit_length() - 1
        runs += format(r, "04b") + (format(run - (1 << r), "0%db" % r) if r else "")
        left -= run

    def packed(bitstring):
        bitstring += "1" * (-len(bitstring) % 8)
        data = bytearray()
        for i in range(0, len(bitstring), 8):
            data.append(int(bitstring[i:i + 8], 2))
            if data[-1] == 0xFF:
                data.append(0)
        return bytes(data)
    ac = b"\xff\xda" + struct.pack(">HB", 8, 1) + b"\x01\x00" + b"\x01\x3f\x00"
    return b"\xff\xd8" + dqt + sof + dht + dc + packed(bits) + ac + packed(runs) + b"\xff\xd9"


# A good picture whose decoder needs 162 MB: shown normally, but not when memory is short.
large = os.path.join(out, b"large")
os.mkdir(large)
with open(os.path.join(large, b"progressive-9000-square.jpg"), "wb") as f:
    f.write(progressive_flat(9000, 9000))


# --- orientation tags, well-formed and hostile ---------------------------------------------
def tiff(entries, order=b"II", next_ifd=0, extra=b""):
    """TIFF structure of one IFD at offset 8: entries are (tag, type, count, value bytes)."""
    e = "<" if order == b"II" else ">"
    sizes = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 7: 1, 9: 4, 10: 8}
    head = order + struct.pack(e + "HI", 42, 8)
    data_at = 8 + 2 + 12 * len(entries) + 4
    ifd, data = struct.pack(e + "H", len(entries)), b""
    for tag, kind, count, value in entries:
        if isinstance(value, int):
            value = struct.pack(e + ("H" if kind == 3 else "I"), value)
        if len(value) <= 4:
            ifd += struct.pack(e + "HHI", tag, kind, count) + value.ljust(4, b"\0")
        else:
            ifd += struct.pack(e + "HHII", tag, kind, count, data_at + len(data))
            data += value
    return head + ifd + struct.pack(e + "I", next_ifd) + data + extra


def with_app1(payload, picture=None):
    picture = picture or good[b"jpg"]
    return picture[:2] + b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload + picture[2:]


def exif(body):
    return with_app1(b"Exif\0\0" + body)


for n in range(1, 9):
    put(b"orientation-%d.jpg" % n, exif(tiff([(0x112, 3, 1, n)])), 1, "good")
put(b"orientation-6-big-endian.jpg", exif(tiff([(0x112, 3, 1, 6)], order=b"MM")), 1, "good")
for value in (0, 9, 0xFFFF):
    put(b"orientation-value-%d.jpg" % value, exif(tiff([(0x112, 3, 1, value)])), 1, "good")
put(b"orientation-as-long.jpg", exif(tiff([(0x112, 4, 1, 6)])), 1, "good")
put(b"orientation-as-text.jpg", exif(tiff([(0x112, 2, 200, b"6" * 200)])), 1, "good")
put(b"orientation-count-huge.jpg", exif(tiff([(0x112, 3, 0x7FFFFFFF, 6)])), 1, "good")
put(b"exif-empty.jpg", exif(b""), 1, "good")
put(b"exif-bad-byte-order.jpg", exif(b"XX" + tiff([(0x112, 3, 1, 6)])[2:]), 1, "good")
put(b"exif-ifd-beyond-end.jpg", exif(b"II*\0" + struct.pack("<I", 0xFFFFFFF0)), 1, "good")
put(b"exif-entries-overclaimed.jpg", exif(b"II*\0" + struct.pack("<IH", 8, 0xFFFF)), 1, "good")
put(b"exif-ifd-loop.jpg", exif(tiff([(0x112, 3, 1, 6)], next_ifd=8)), 1, "good")
put(b"exif-sub-ifd-loop.jpg", exif(tiff([(0x8769, 4, 1, 8), (0x112, 3, 1, 6)])), 1, "good")
put(b"exif-many-sub-ifds.jpg",
    exif(tiff([(0x8769 if i % 2 else 0xA005, 4, 1, 8) for i in range(5000)])), 1, "good")
put(b"exif-two-segments.jpg",
    with_app1(b"Exif\0\0" + tiff([(0x112, 3, 1, 6)]), exif(tiff([(0x112, 3, 1, 3)]))), 1, "good")
put(b"exif-random.jpg", exif(bytes(rng.randrange(256) for _ in range(60000))), 1, "good")
# 1,000 segments of 64 kB (written as holes) before a good picture: none may be kept.
with open(os.path.join(pics, b"app1-segments-1000.jpg"), "wb") as f:
    f.write(good[b"jpg"][:2])
    for n in range(1000):
        f.write(b"\xff\xe1\xff\xff" + (b"Exif\0\0" if n % 2 else b"http:/"))
        f.seek(65533 - 6, 1)
    f.write(good[b"jpg"][2:])
manifest.append((b"app1-segments-1000.jpg", 1, "good"))

# --- hostile colour profiles: the picture is shown by its stored numbers --------------------
def icc(tags, claimed=None, tail=b""):
    """An RGB display profile's header and tag table; `claimed` overrides the stored size."""
    table = struct.pack(">I", len(tags)) + b"".join(struct.pack(">4sII", *t) for t in tags)
    size = 128 + len(table) + len(tail)
    head = (struct.pack(">I4sI4s4s4s", claimed or size, b"lcms", 0x04300000, b"mntr", b"RGB ",
                        b"XYZ ") + b"\0" * 12 + b"acsp" + b"\0" * 88)
    return head + table + tail


def with_icc(pieces, picture=None):
    """APP2 segments, each (number, count, bytes)."""
    picture = picture or good[b"jpg"]
    segments = b"".join(b"\xff\xe2" + struct.pack(">H", 2 + 14 + len(data)) + b"ICC_PROFILE\0" +
                        bytes([n, c]) + data for n, c, data in pieces)
    return picture[:2] + segments + picture[2:]


def bmp_v5_profile(offset, size, profile=b""):
    data = bytearray(bmp(8, 6))
    info = struct.pack("<IiiHHIIiiII", 124, 8, 6, 1, 24, 0, 0, 2835, 2835, 0, 0) + b"\0" * 16
    info += b"DEBM" + b"\0" * 48 + struct.pack("<IIII", 4, offset, size, 0)
    rows = bytes(data[54:])
    head = struct.pack("<2sIHHI", b"BM", 14 + 124 + len(rows) + len(profile), 0, 0, 14 + 124)
    return head + info + rows + profile


def gif_icc(blocks, end=b"\0"):
    picture = good[b"gif"]
    at = 13 + (3 * (2 << (picture[10] & 7)) if picture[10] & 0x80 else 0)
    return picture[:at] + b"\x21\xff\x0bICCRGBG1012" + blocks + end + picture[at:]


huge_tags = struct.pack(">I", 0xFFFFFFF0)
put(b"icc-tag-count-huge.jpg", with_icc([(1, 1, icc([])[:128] + huge_tags)]), 1, "good")
put(b"icc-truncated.jpg", with_icc([(1, 1, icc([(b"rXYZ", 144, 20)], claimed=5000))]), 1, "good")
put(b"icc-tags-2gb.jpg",
    with_icc([(1, 1, icc([(t, 0x7FFFFFF0, 0x7FFFFFFF) for t in (b"rXYZ", b"gXYZ", b"bXYZ",
                                                                b"rTRC", b"wtpt")]))]), 1, "good")
put(b"icc-random-refused.jpg",
    with_icc([(1, 1, icc([]) + bytes(rng.randrange(256) for _ in range(3000)))]), 1, "good")
put(b"icc-pieces-disagree.jpg", with_icc([(1, 2, icc([])), (2, 3, b"x" * 100)]), 1, "good")
put(b"icc-piece-twice.jpg", with_icc([(1, 2, icc([])), (1, 2, icc([])), (2, 2, b"")]), 1, "good")
put(b"icc-piece-zero.jpg", with_icc([(0, 0, icc([]))]), 1, "good")
# 160 segments of 64 kB (holes) claiming one 10 MB profile: beyond any profile's bound.
with open(os.path.join(pics, b"icc-pieces-10mb.jpg"), "wb") as f:
    f.write(good[b"jpg"][:2])
    for n in range(1, 161):
        f.write(b"\xff\xe2\xff\xff" + b"ICC_PROFILE\0" + bytes([n, 160]))
        f.seek(65533 - 14, 1)
    f.write(good[b"jpg"][2:])
manifest.append((b"icc-pieces-10mb.jpg", 1, "good"))
put(b"bmp-v5-profile-past-end.bmp", bmp_v5_profile(0xFFFFFFF0, 0xFFFFFF00), 1, "good")
put(b"bmp-v5-profile-10mb.bmp", bmp_v5_profile(124 + 144, 10 << 20, icc([]) * 4), 1, "good")
put(b"bmp-v5-profile-refused.bmp",
    bmp_v5_profile(124 + 144, 700, icc([(b"rXYZ", 0, 0x7FFFFFFF)], tail=b"\0" * 560)), 1, "good")
put(b"gif-icc-10mb.gif", gif_icc((b"\xff" + b"g" * 255) * 41000), 1, "good")
put(b"gif-icc-refused.gif", gif_icc(bytes([200]) + icc([], tail=b"\0" * 68)), 1, "good")

put(b"orientation-6-progressive-bomb.jpg",
    with_app1(b"Exif\0\0" + tiff([(0x112, 3, 1, 6)]), progressive(32768, 32768)), 1, "huge")

# --- the wrong kind of content under a picture name -----------------------------------------
put(b"png-named.jpg", png(8, 6), 1, "either")
put(b"text-named.jpg", b"This is a text file, not a picture.\n" * 20, 1, "bad")
put(b"gif-named.bmp", good[b"gif"], 1, "either")
put(b"bmp-named.jpg", good[b"bmp"], 1, "either")

# --- entries that are no regular picture file -----------------------------------------------
os.mkdir(os.path.join(pics, b"x.jpg"))
note(b"x.jpg", 0, "none")
os.mkfifo(os.path.join(pics, b"p.jpg"))
note(b"p.jpg", 0, "none")
os.symlink(b"loop-b.jpg", os.path.join(pics, b"loop-a.jpg"))
os.symlink(b"loop-a.jpg", os.path.join(pics, b"loop-b.jpg"))
note(b"loop-a.jpg", 0, "none")
note(b"loop-b.jpg", 0, "none")
os.symlink(b"nowhere/missing.jpg", os.path.join(pics, b"dangling.jpg"))
note(b"dangling.jpg", 0, "none")
os.symlink(b"p.jpg", os.path.join(pics, b"to-fifo.gif"))
note(b"to-fifo.gif", 0, "none")
os.symlink(b"good.jpg", os.path.join(pics, b"link-to-good.jpg"))
note(b"link-to-good.jpg", 1, "good")
put(b".hidden.jpg", good[b"jpg"], 0, "none")
put(b".jpg", good[b"jpg"], 0, "none")
put(b"jpg", good[b"jpg"], 0, "none")
put(b"good.jpeg", good[b"jpg"], 0, "none")
put(b"notes.txt", b"not listed\n", 0, "none")
put(b"good.jpg.png", png(4, 4), 0, "none")

# --- a path of about 4,000 characters ---------------------------------------------------------
deep = os.path.join(out, b"deep")
while len(deep) < 3900:
    deep = os.path.join(deep, b"d" * min(200, 3990 - len(deep) - 20))
os.makedirs(deep)
with open(os.path.join(deep, b"deep.jpg"), "wb") as f:
    f.write(good[b"jpg"])

# --- a folder that cannot be read ------------------------------------------------------------
locked = os.path.join(out, b"locked")
os.mkdir(locked)
with open(os.path.join(locked, b"inside.jpg"), "wb") as f:
    f.write(good[b"jpg"])
os.chmod(locked, 0)

with open(os.path.join(out, b"manifest.tsv"), "w") as f:
    for name, listed, kind in manifest:
        f.write("%s\t%d\t%s\n" % (name.hex(), listed, kind))
with open(os.path.join(out, b"deep-path.txt"), "wb") as f:
    f.write(deep)
PY
