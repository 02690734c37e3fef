#!/usr/bin/env python3
"""Builds Sorabune's pictures, icon and sound from the text sources beside this script.

Sources: art/palette.txt (one colour per character), art/*.txt (pixel art, one character per pixel) and
music/kouka.txt (the jingle). Outputs: background.bmp, small.gif, sorabune.ico, frames/girl0..3.gif and
Sound/Kouka.mid. Standard library only; the output is byte-for-byte the same on every run.

    python3 resources/generate.py           rewrite every output
    python3 resources/generate.py --check   exit 1 when a committed output differs from what would be written
"""

import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ART = os.path.join(HERE, "art")
MUSIC = os.path.join(HERE, "music")

SILVER = (192, 192, 192)  # the mascot's key colour: the window cuts every silver pixel away
FRAME_W, FRAME_H = 80, 100
REGION_SCAN = 101  # the outline scan runs over x 0..100 and y 0..100
REGION_LIMIT = 401  # rectangles that one region record holds


# ---------------------------------------------------------------- text sources


def read_palette():
    """art/palette.txt: `<char> R G B  name` per line; '#' starts a comment line."""
    palette = {}
    with open(os.path.join(ART, "palette.txt"), encoding="utf-8") as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            ch, r, g, b = line.split()[:4]
            if ch in palette:
                raise ValueError("palette character %r defined twice" % ch)
            palette[ch] = (int(r), int(g), int(b))
            if palette[ch] == SILVER and ch != ".":
                raise ValueError("silver is the mascot's key colour and belongs to '.' alone, not %r" % ch)
    return palette


def read_art(name):
    """An art file: '#' comment lines, optional `scale N`, then the grid rows. Returns (rows, scale)."""
    rows, scale = [], 1
    with open(os.path.join(ART, name), encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if line.startswith("#") or not line.strip():
                continue
            if line.startswith("scale "):
                scale = int(line.split()[1])
                continue
            rows.append(line)
    width = len(rows[0])
    for i, row in enumerate(rows):
        if len(row) != width:
            raise ValueError("%s: row %d is %d wide, expected %d" % (name, i, len(row), width))
    return rows, scale


class Image:
    """An RGB picture as a list of rows of (r, g, b) tuples; None marks a transparent pixel."""

    def __init__(self, width, height, fill=None):
        self.width, self.height = width, height
        self.px = [[fill] * width for _ in range(height)]

    def mirrored(self):
        out = Image(self.width, self.height)
        out.px = [list(reversed(row)) for row in self.px]
        return out

    def paste(self, other, left, top):
        """Draws other's opaque pixels with its top-left corner at (left, top), clipped to this picture."""
        for y, row in enumerate(other.px):
            for x, c in enumerate(row):
                tx, ty = left + x, top + y
                if c is not None and 0 <= tx < self.width and 0 <= ty < self.height:
                    self.px[ty][tx] = c


def art_image(name, palette, transparent="_"):
    """Renders an art file at its scale; the `transparent` character leaves pixels unset."""
    rows, scale = read_art(name)
    img = Image(len(rows[0]) * scale, len(rows) * scale)
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch == transparent:
                continue
            if ch not in palette:
                raise ValueError("%s: character %r at (%d, %d) is not in the palette" % (name, ch, x, y))
            for dy in range(scale):
                for dx in range(scale):
                    img.px[y * scale + dy][x * scale + dx] = palette[ch]
    return img


# ---------------------------------------------------------------- file writers


def lzw_compress(indices, min_code_size):
    """GIF flavour of LZW: variable-width codes packed LSB first, a clear code whenever the table fills."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, acc, nbits = bytearray(), 0, 0
    code_size, next_code, table = min_code_size + 1, end + 1, {}

    def emit(code, size):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    emit(clear, code_size)
    prefix = indices[0]
    for k in indices[1:]:
        key = (prefix, k)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix, code_size)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            # The decoder adds its entry one code later, so it widens when next_code passes 2^size.
            if next_code > (1 << code_size) and code_size < 12:
                code_size += 1
        else:
            emit(clear, code_size)
            code_size, next_code, table = min_code_size + 1, end + 1, {}
        prefix = k
    emit(prefix, code_size)
    emit(end, code_size)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif_bytes(img):
    """GIF89a, one frame, global colour table in order of first appearance (top-left colour first)."""
    colours, index_of, indices = [], {}, []
    for row in img.px:
        for c in row:
            if c not in index_of:
                index_of[c] = len(colours)
                colours.append(c)
            indices.append(index_of[c])
    if len(colours) > 256:
        raise ValueError("a GIF holds at most 256 colours, this picture has %d" % len(colours))
    bits = max(1, (len(colours) - 1).bit_length())
    table = colours + [(0, 0, 0)] * ((1 << bits) - len(colours))
    min_code = max(2, bits)
    data = lzw_compress(indices, min_code)
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", img.width, img.height, 0x80 | 0x70 | (bits - 1), 0, 0)
    out += b"".join(bytes(c) for c in table)
    out += struct.pack("<BHHHHB", 0x2C, 0, 0, img.width, img.height, 0)
    out.append(min_code)
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        out.append(len(block))
        out += block
    out += b"\x00\x3B"
    return bytes(out)


def bmp_bytes(img):
    """24-bit uncompressed BMP with a BITMAPINFOHEADER, rows bottom-up, each padded to 4 bytes."""
    pad = (4 - img.width * 3 % 4) % 4
    pixels = bytearray()
    for row in reversed(img.px):
        for r, g, b in row:
            pixels += bytes((b, g, r))
        pixels += b"\x00" * pad
    header_size = 14 + 40
    out = bytearray(b"BM")
    out += struct.pack("<IHHI", header_size + len(pixels), 0, 0, header_size)
    out += struct.pack("<IiiHHIIiiII", 40, img.width, img.height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return bytes(out + pixels)


def ico_entry(img):
    """One icon image: BITMAPINFOHEADER (height doubled), BGRA rows bottom-up, then the 1-bit AND mask."""
    xor = bytearray()
    for row in reversed(img.px):
        for c in row:
            xor += bytes((c[2], c[1], c[0], 255)) if c is not None else b"\x00\x00\x00\x00"
    mask_stride = (img.width + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(img.px):
        bits = bytearray(mask_stride)
        for x, c in enumerate(row):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, img.width, img.height * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def ico_bytes(images):
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    entries = [ico_entry(img) for img in images]
    offset = 6 + 16 * len(images)
    for img, data in zip(images, entries):
        out += struct.pack("<BBBBHHII", img.width % 256, img.height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in entries:
        out += data
    return bytes(out)


def midi_varlen(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def midi_bytes(song):
    """Format 0, one track: tempo, time signature, program changes, then the notes in time order."""
    events = []  # (tick, order, bytes): at one tick, note-offs (order 0) go before setup (1) and note-ons (2)
    tempo_us = 60000000 // song["tempo"]
    events.append((0, 1, b"\xFF\x03" + midi_varlen(len(song["title"])) + song["title"]))
    events.append((0, 1, b"\xFF\x51\x03" + tempo_us.to_bytes(3, "big")))
    events.append((0, 1, b"\xFF\x58\x04\x04\x02\x18\x08"))
    for ch, program, volume in song["channels"]:
        events.append((0, 1, bytes((0xC0 | ch, program))))
        events.append((0, 1, bytes((0xB0 | ch, 7, volume))))
    last = 0
    for ch, note, start, length, velocity in song["notes"]:
        events.append((start, 2, bytes((0x90 | ch, note, velocity))))
        events.append((start + length, 0, bytes((0x80 | ch, note, 0))))
        last = max(last, start + length)
    events.sort(key=lambda e: (e[0], e[1]))
    track, now = bytearray(), 0
    for tick, _, data in events:
        track += midi_varlen(tick - now) + data
        now = tick
    track += midi_varlen(last - now) + b"\xFF\x2F\x00"
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, song["ticks"])
    return header + b"MTrk" + struct.pack(">I", len(track)) + bytes(track)


# ---------------------------------------------------------------- the jingle

NOTE_BASE = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def parse_note(text):
    """'C5' is middle C's octave up (MIDI 72); '#' or 'b' after the letter shifts a semitone."""
    pitch = NOTE_BASE[text[0]]
    rest = text[1:]
    if rest[:1] == "#":
        pitch, rest = pitch + 1, rest[1:]
    elif rest[:1] == "b":
        pitch, rest = pitch - 1, rest[1:]
    return 12 * (int(rest) + 1) + pitch


def parse_length(text, ticks):
    """'4' a quarter, '8' an eighth, '2.' a dotted half, '4~8' a quarter tied to an eighth."""
    total = 0
    for part in text.split("~"):
        dotted = part.endswith(".")
        n = ticks * 4 // int(part.rstrip("."))
        total += n + n // 2 if dotted else n
    return total


def read_song():
    """music/kouka.txt: `tempo`, `ticks`, `title`, `channel CH PROGRAM VOLUME` and `voice CH VELOCITY: notes...`."""
    song = {"channels": [], "notes": [], "tempo": 120, "ticks": 480, "title": b""}
    with open(os.path.join(MUSIC, "kouka.txt"), encoding="utf-8") as f:
        for line in f:
            line = re.split(r"\s#", line)[0].strip() if not line.startswith("#") else ""
            if not line:
                continue
            word, _, rest = line.partition(" ")
            if word in ("tempo", "ticks"):
                song[word] = int(rest)
            elif word == "title":
                song["title"] = rest.strip().encode("ascii")
            elif word == "channel":
                song["channels"].append(tuple(int(v) for v in rest.split()[:3]))
            elif word == "voice":
                song["notes"] += parse_voice(rest, song["ticks"])
    return song


def parse_voice(text, ticks):
    """'CH VELOCITY: C5/8 r/8 C4+E4+G4/2 ...' — notes from tick 0 on, 'r' rests, '+' stacks a chord."""
    head, _, body = text.partition(":")
    ch, velocity = (int(v) for v in head.split())
    notes, now = [], 0
    for token in body.split():
        pitches, _, length = token.partition("/")
        n = parse_length(length, ticks)
        if pitches != "r":
            for p in pitches.split("+"):
                # A hair shorter than the written length so repeated notes re-strike cleanly.
                notes.append((ch, parse_note(p), now, n - ticks // 32, velocity))
        now += n
    return notes


# ---------------------------------------------------------------- pictures


def lerp(a, b, t_num, t_den):
    return tuple(a[i] + (b[i] - a[i]) * t_num // t_den for i in range(3))


def sky_gradient(width, height, stops):
    """Vertical gradient through (y, colour) stops, banded every 2 rows to keep the pixel-art feel."""
    img = Image(width, height)
    for y in range(height):
        yy = y - y % 2
        for (y0, c0), (y1, c1) in zip(stops, stops[1:]):
            if y0 <= yy <= y1:
                colour = lerp(c0, c1, yy - y0, max(1, y1 - y0))
                break
        img.px[y] = [colour] * width
    return img


def sun_glow(img, cx, cy, radius, colour):
    """Brightens the sky toward `colour` around (cx, cy), strongest at the centre, fading out at `radius`."""
    for y in range(max(0, cy - radius), min(img.height, cy + radius + 1)):
        for x in range(max(0, cx - radius), min(img.width, cx + radius + 1)):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if d2 < radius * radius:
                fade = radius * radius - d2  # 0 at the rim, radius^2 at the centre
                img.px[y][x] = lerp(img.px[y][x], colour, fade * fade, radius ** 4)


def read_scene(name):
    """A scene file: '#' comment lines, then steps drawn in order, later ones on top:
    `band <palette char> <y>` fills every row from y down, `place <art file> <x> <y>` draws a sprite."""
    steps = []
    with open(os.path.join(ART, name), encoding="utf-8") as f:
        for line in f:
            words = line.split()
            if words and words[0] in ("band", "place"):
                steps.append((words[0], words[1], [int(v) for v in words[2:]]))
    return steps


def background(palette):
    img = sky_gradient(352, 300, [(0, (86, 146, 226)), (150, (140, 196, 246)), (299, (210, 236, 255))])
    sun_glow(img, 330, 20, 110, palette["Z"])
    for step, what, at in read_scene("background.txt"):
        if step == "band":
            for y in range(at[0], img.height):
                img.px[y] = [palette[what]] * img.width
        else:
            img.paste(art_image(what, palette), at[0], at[1])
    return img


def small_picture(palette):
    return art_image("small.txt", palette)


def girl_frames(palette):
    left = [art_image("girl_walk%d.txt" % i, palette) for i in (0, 1)]
    frames = left + [f.mirrored() for f in left]
    for i, f in enumerate(frames):
        if (f.width, f.height) != (FRAME_W, FRAME_H):
            raise ValueError("girl frame %d is %dx%d" % (i, f.width, f.height))
        if f.px[0][0] != SILVER:
            raise ValueError("girl frame %d: top-left pixel is not silver" % i)
    return frames


def icon_images(palette):
    return [art_image("icon%d.txt" % size, palette) for size in (16, 32, 48)]


# ---------------------------------------------------------------- window-region size


def region_rect_count(img):
    """Rectangles in the banded region built from every non-key point of a 101 x 101 scan.

    Points past the picture count as inside. Each row becomes the maximal runs of inside points; rows whose run
    lists match the row above join its band, as the window system stores regions.
    """
    key = img.px[0][0]
    count, previous = 0, None
    for y in range(REGION_SCAN):
        runs, start = [], None
        for x in range(REGION_SCAN + 1):
            inside = x < REGION_SCAN and (x >= img.width or y >= img.height or img.px[y][x] != key)
            if inside and start is None:
                start = x
            elif not inside and start is not None:
                runs.append((start, x))
                start = None
        if runs != previous:
            count += len(runs)
            previous = runs
    return count


def enclosed_key_pixels(img):
    """Key-colour pixels that no path of key-colour pixels links to the picture's edge: holes in the figure."""
    key = img.px[0][0]
    w, h = img.width, img.height
    stack = [(x, y) for y in range(h) for x in range(w) if (x in (0, w - 1) or y in (0, h - 1)) and img.px[y][x] == key]
    reached = set(stack)
    while stack:
        x, y = stack.pop()
        for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
            if 0 <= nx < w and 0 <= ny < h and (nx, ny) not in reached and img.px[ny][nx] == key:
                reached.add((nx, ny))
                stack.append((nx, ny))
    return sum(row.count(key) for row in img.px) - len(reached)


# ---------------------------------------------------------------- driver


def build():
    """Every output as {path relative to resources/: bytes}, plus the four mascot frames."""
    palette = read_palette()
    frames = girl_frames(palette)
    files = {
        "background.bmp": bmp_bytes(background(palette)),
        "small.gif": gif_bytes(small_picture(palette)),
        "sorabune.ico": ico_bytes(icon_images(palette)),
        "Sound/Kouka.mid": midi_bytes(read_song()),
    }
    for i, frame in enumerate(frames):
        files["frames/girl%d.gif" % i] = gif_bytes(frame)
    return files, frames


def frames_fit_window(frames):
    """Prints each frame's region size; False when one is too big for its record or has a silver hole."""
    ok = True
    for i, frame in enumerate(frames):
        rects, holes = region_rect_count(frame), enclosed_key_pixels(frame)
        print("girl%d.gif: %d region rectangles (limit %d), %d key-colour pixels inside the figure"
              % (i, rects, REGION_LIMIT, holes))
        ok = ok and rects <= REGION_LIMIT and holes == 0
    return ok


def main(argv):
    check = "--check" in argv[1:]
    files, frames = build()
    if not frames_fit_window(frames):
        print("the mascot frames do not fit the window's outline; nothing written")
        return 1
    stale = []
    for rel, data in sorted(files.items()):
        path = os.path.join(HERE, *rel.split("/"))
        if check:
            try:
                with open(path, "rb") as f:
                    if f.read() == data:
                        continue
            except OSError:
                pass
            stale.append(rel)
            print("out of date: resources/%s (run python3 resources/generate.py)" % rel)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
            print("wrote resources/%s (%d bytes)" % (rel, len(data)))
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
