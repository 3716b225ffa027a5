#!/usr/bin/env python3
"""The icon generator and the icon's pixel map.

usage: icon_test.py MAKE_ICON MAP

Runs the generator on the map and reads the .ico back with a decoder of its own: two
images, 16x16 and 32x32, each a 4-bit DIB with the standard 16-colour palette whose
pixels and mask give back the map exactly. Malformed maps must be refused.
"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

MAKE_ICON, MAP = sys.argv[1], sys.argv[2]

STANDARD_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def generate(map_text, directory):
    source = os.path.join(directory, "icon.txt")
    target = os.path.join(directory, "icon.ico")
    with open(source, "w", encoding="utf-8") as stream:
        stream.write(map_text)
    result = subprocess.run([sys.executable, MAKE_ICON, source, target],
                            capture_output=True, text=True)
    data = None
    if result.returncode == 0:
        with open(target, "rb") as stream:
            data = stream.read()
    return result, data


def read_text(path):
    with open(path, encoding="utf-8") as stream:
        return stream.read()


def read_map(text):
    """{size: rows of characters}, and {character: palette index or None}."""
    legend, images, size = {}, {}, None
    for line in text.splitlines():
        if size is not None and len(images[size]) < size:
            images[size].append(line)
        elif line.startswith("colour "):
            words = line.split()
            legend[words[1]] = None if words[2] == "transparent" else int(words[2])
        elif line.startswith("icon "):
            size = int(line.split()[1])
            images[size] = []
    return images, legend


def decode(data):
    """[(size, rows of palette indexes or None, palette)] from an .ico file."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert (reserved, kind) == (0, 1), "not an icon file"
    images = []
    for entry in range(count):
        width, height, colours, _, planes, bits, length, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * entry)
        assert (colours, planes, bits) == (16, 1, 4), (colours, planes, bits)
        header = struct.unpack_from("<IiiHHIIiiII", data, offset)
        assert header[0] == 40 and header[1] == width and header[2] == 2 * height, header
        assert header[4] == 4 and header[5] == 0, "4 bits per pixel, uncompressed"
        palette = [struct.unpack_from("<BBBB", data, offset + 40 + 4 * i)[2::-1]
                   for i in range(16)]
        colour_stride = (width // 2 + 3) // 4 * 4
        mask_stride = (width // 8 + 3) // 4 * 4
        colour_start = offset + 40 + 64
        mask_start = colour_start + colour_stride * height
        assert mask_start + mask_stride * height == offset + length, "image length"
        rows = []
        for y in range(height):
            stored = height - 1 - y  # bottom row first
            row = []
            for x in range(width):
                byte = data[colour_start + stored * colour_stride + x // 2]
                index = byte >> 4 if x % 2 == 0 else byte & 15
                bit = data[mask_start + stored * mask_stride + x // 8] >> (7 - x % 8) & 1
                row.append(None if bit else index)
            rows.append(row)
        images.append((width, rows, palette))
    return images


class IconTest(unittest.TestCase):
    def test_both_sizes_give_back_the_map_exactly(self):
        text = read_text(MAP)
        with tempfile.TemporaryDirectory() as directory:
            result, data = generate(text, directory)
        self.assertEqual(result.returncode, 0, result.stderr)
        expected, legend = read_map(text)
        images = decode(data)
        self.assertEqual([size for size, _, _ in images], [16, 32])
        for size, rows, palette in images:
            self.assertEqual(palette, [tuple(colour) for colour in STANDARD_PALETTE])
            self.assertEqual(rows, [[legend[c] for c in line] for line in expected[size]],
                             f"icon {size}")

    def test_map_uses_the_colours_of_the_description(self):
        images, legend = read_map(read_text(MAP))
        for size, rows in images.items():
            used = {legend[c] for row in rows for c in row}
            # dark blue frame, grey panel, red mark, yellow pencil
            self.assertTrue({4, 7, 9, 11} <= used, f"icon {size} uses {sorted(used, key=str)}")

    def test_malformed_maps_are_refused_with_the_line(self):
        legend = "colour . transparent\ncolour K 0 black\n"
        cases = {
            "short row": (legend + "icon 16\n" + "K" * 15 + "\n", ":4:"),
            "unknown character": (legend + "icon 16\n" + "K" * 15 + "Q\n", "'Q'"),
            "too few rows": (legend + "icon 16\n" + ("K" * 16 + "\n") * 15, "15 rows"),
            "palette index": ("colour X 16 nothing\n", "outside 0..15"),
            "size twice": (legend + ("icon 16\n" + ("K" * 16 + "\n") * 16) * 2, "twice"),
            "no icon": (legend, "no icon"),
        }
        for name, (text, message) in cases.items():
            with self.subTest(name), tempfile.TemporaryDirectory() as directory:
                result, data = generate(text, directory)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(message, result.stderr)
                self.assertIsNone(data)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
