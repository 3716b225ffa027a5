#!/usr/bin/env python3
"""Turns a text pixel map into a Windows .ico file.

usage: make_icon.py MAP ICO

The map holds a legend and one picture per size:

    colour K 0 black          character, index in the standard 16-colour palette, name
    colour . transparent      a character that stands for no colour at all
    icon 16                   then 16 rows of 16 characters
    icon 32                   then 32 rows of 32 characters

Lines starting with '#' and blank lines between blocks are ignored. Every image is
written as a 4-bit, 16-colour DIB with the standard palette and an AND mask that makes
the transparent pixels see-through; the images are stored in the order of the map.
Any malformed input (unknown character, wrong row length or count, a size given twice,
a palette index outside 0..15) stops the generator with a message naming the line.
"""

import struct
import sys

# The standard 16-colour palette, in index order (red, green, blue).
STANDARD_PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

TRANSPARENT = None


class MapError(Exception):
    pass


def parse_map(text, name="map"):
    """Returns {size: rows of palette indexes or TRANSPARENT}, in the order given."""
    legend = {}
    images = {}
    current = None  # (size, rows, line number of the "icon" line)

    def finish():
        if current is not None:
            size, rows, start = current
            if len(rows) != size:
                raise MapError(f"{name}:{start}: icon {size} has {len(rows)} rows")
            images[size] = rows

    for number, raw in enumerate(text.splitlines(), start=1):
        line = raw.rstrip()
        where = f"{name}:{number}"
        if current is not None and len(current[1]) < current[0]:
            size, rows, _ = current
            if len(line) != size:
                raise MapError(f"{where}: row of {len(line)} pixels, expected {size}")
            row = []
            for character in line:
                if character not in legend:
                    raise MapError(f"{where}: '{character}' is not in the legend")
                row.append(legend[character])
            rows.append(row)
            continue
        if not line or line.startswith("#"):
            continue
        words = line.split()
        if words[0] == "colour" and len(words) >= 3 and len(words[1]) == 1:
            if words[2] == "transparent":
                legend[words[1]] = TRANSPARENT
                continue
            try:
                index = int(words[2])
            except ValueError:
                raise MapError(f"{where}: palette index '{words[2]}' is not a number")
            if not 0 <= index <= 15:
                raise MapError(f"{where}: palette index {index} outside 0..15")
            legend[words[1]] = index
        elif words[0] == "icon" and len(words) == 2 and words[1].isdigit():
            finish()
            size = int(words[1])
            if size not in (16, 32, 48):
                raise MapError(f"{where}: icon size {size} is not 16, 32 or 48")
            if size in images:
                raise MapError(f"{where}: icon {size} given twice")
            current = (size, [], number)
        else:
            raise MapError(f"{where}: cannot read '{line}'")
    finish()
    if not images:
        raise MapError(f"{name}: no icon")
    return images


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def image_bytes(size, rows):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", blue, green, red, 0)
                       for red, green, blue in STANDARD_PALETTE)
    colour = b""
    mask = b""
    for row in reversed(rows):  # DIBs are stored bottom row first
        indexes = [0 if pixel is TRANSPARENT else pixel for pixel in row]
        colour += padded(bytes((indexes[x] << 4) | indexes[x + 1] for x in range(0, size, 2)))
        bits = 0
        for pixel in row:
            bits = (bits << 1) | (1 if pixel is TRANSPARENT else 0)
        mask += padded(bits.to_bytes(size // 8, "big"))
    return header + palette + colour + mask


def icon_file(images):
    entries = b""
    data = b""
    offset = 6 + 16 * len(images)
    for size, rows in images.items():
        image = image_bytes(size, rows)
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset + len(data))
        data += image
    return struct.pack("<HHH", 0, 1, len(images)) + entries + data


def main(arguments):
    if len(arguments) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    source, target = arguments[1], arguments[2]
    try:
        with open(source, encoding="utf-8") as stream:
            images = parse_map(stream.read(), source)
    except (OSError, MapError) as error:
        print(f"make_icon: {error}", file=sys.stderr)
        return 1
    with open(target, "wb") as stream:
        stream.write(icon_file(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
