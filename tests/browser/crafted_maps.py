"""Hand-made maps for the browser tests, written byte by byte.

A column is described top to bottom as 64 entries: None for air, SOLID for
a solid voxel the file stores no colour for, or a colour word (0xAARRGGBB,
any fourth byte) for a coloured one. encode_column writes it as spans: the
air, the top colours, the hidden interior, then the bottom colours right
above the next span's air; a run of colours that reaches the bottom below a
hidden interior gets a last span of its own.
"""

import struct

SOLID = "solid"
MAP_X = MAP_Y = 512
MAP_Z = 64


def _coloured(v):
    return v is not None and v is not SOLID


def encode_column(voxels):
    assert len(voxels) == MAP_Z
    out = bytearray()
    k = 0
    while True:
        air_start = k
        while k < MAP_Z and voxels[k] is None:
            k += 1
        top_start = k
        tops = []
        while k < MAP_Z and _coloured(voxels[k]):
            tops.append(voxels[k])
            k += 1
        while k < MAP_Z and voxels[k] is SOLID:
            k += 1
        b = j = k
        while j < MAP_Z and _coloured(voxels[j]):
            j += 1
        if j == MAP_Z:
            bottoms = []
            k = b
        elif voxels[j] is None:
            bottoms = voxels[b:j]
            k = j
        else:
            raise ValueError(f"colours at {b}..{j - 1} stand over hidden ground: no span says that")
        last = k == MAP_Z
        length = 0 if last else 1 + len(tops) + len(bottoms)
        out += bytes([length, top_start, (top_start + len(tops) - 1) & 0xff, air_start])
        for word in tops + bottoms:
            out += struct.pack("<I", word)
        if last:
            return bytes(out)


def ground(top, colour):
    """A column solid from file height `top` down, its top voxel coloured."""
    return [None] * top + [colour] + [SOLID] * (MAP_Z - top - 1)


def build_map(column):
    """The file of a map whose column (x, y) is column(x, y)."""
    cache = {}
    out = bytearray()
    for y in range(MAP_Y):
        for x in range(MAP_X):
            voxels = column(x, y)
            key = tuple(voxels)
            record = cache.get(key)
            if record is None:
                record = cache[key] = encode_column(voxels)
            out += record
    return bytes(out)


RED = 0x80c02020
BLUE = 0x802040c0


def halves():
    """Flat ground at file height 40, red for x < 256 and blue beyond."""
    return build_map(lambda x, y: ground(40, RED if x < 256 else BLUE))


def features():
    """Flat ground at height 40 (grey-green), with what the format can say
    that a plain column does not: a block floating over air (top and bottom
    colours, a hidden middle), a tower up to the map's top (h = 0), a pit
    down to the bottom voxel, a column all air, a run of colours reaching
    the bottom under hidden ground, a span with no top colours, colour words
    whose fourth byte is not 0x80, and one colour word of 0."""
    plain = 0x80607050

    def column(x, y):
        if 100 <= x < 108 and 200 <= y < 206:
            c = [None] * 20 + [0x80ffd040] + [SOLID] * 3 + [0x80a03010] + [None] * 15
            return c + ground(40, plain)[40:]
        if 300 <= x < 303 and 300 <= y < 303:
            return [0x01e0e0e0] + [0xff8080ff] * 3 + [SOLID] * 60
        if x == 400 and y == 50:
            return [None] * 63 + [0x80402000]
        if x == 401 and y == 50:
            return [None] * MAP_Z
        if x == 402 and y == 50:
            return [None] * 40 + [plain] + [SOLID] * 20 + [0x80102030] * 3
        if x == 403 and y == 50:
            return [None] * 40 + [SOLID] * 24
        if x == 404 and y == 50:
            return [None] * 40 + [0x00000000] + [SOLID] * 23
        return ground(40, plain)

    return build_map(column)


def malformed():
    """Broken files, each breaking one rule the readers check, built from a
    valid flat map so that every other byte is good. Column (5, 0) is the
    broken one where a column is."""
    flat = build_map(lambda x, y: ground(40, RED))
    record = 8  # one span header and one colour per column
    at = 5 * record

    def column5(record_bytes):
        return flat[:at] + record_bytes + flat[at + record:]

    colour = struct.pack("<I", RED)
    # A block at 20..24 over air at 25..39, then ground at 40: two spans,
    # the first with one bottom colour (24, right above air_start 25);
    # second_air_start 25 is the valid form.
    def two_spans(second_air_start):
        return (bytes([3, 20, 20, 0]) + colour * 2 +
                bytes([0, 40, 40, second_air_start]) + colour)

    return {
        "truncated-header": flat[:-6],
        "truncated-span": flat[:-2],
        "trailing": flat + b"\0\0",
        "empty": b"",
        "first-air-start": column5(bytes([0, 40, 40, 5]) + colour),
        "top-start-past-bottom": column5(bytes([0, 65, 64, 0]) + colour),
        "top-end-below-start": column5(bytes([0, 40, 32, 0]) + colour),
        "top-end-past-bottom": column5(bytes([0, 63, 64, 0]) + colour),
        "colour-count": column5(bytes([1, 40, 40, 0]) + colour),
        "next-span-past-bottom": column5(bytes([2, 63, 63, 0]) + colour),
        "air-start-not-lower": column5(two_spans(0)),
        "air-start-over-bottoms": column5(two_spans(21)),
        "air-start-below-top-start": column5(two_spans(41)),
        "air-start-past-bottom": column5(two_spans(64)),
        "bottoms-past-bottom": column5(bytes([65, 0, 0, 0]) + colour * 64),
    }
