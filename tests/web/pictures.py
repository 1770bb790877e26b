"""Screenshots as RGB pixels, and the few measures the browser tests take of them.
ImageMagick decodes the files (PNG from Chromium, PPM from the desktop grab)."""

import subprocess


class Picture:
    def __init__(self, path):
        self.path = path
        size = subprocess.run(["identify", "-format", "%w %h", path], check=True,
                              capture_output=True, text=True).stdout.split()
        self.width, self.height = int(size[0]), int(size[1])
        self.rgb = subprocess.run(["convert", path, "-alpha", "off", "-depth", "8", "rgb:-"],
                                  check=True, capture_output=True).stdout
        if len(self.rgb) != self.width * self.height * 3:
            raise ValueError(f"{path}: could not decode its pixels")

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self.rgb[at:at + 3])

    def region(self, x, y, width, height):
        """Grey levels (0..1) of a region, origin top left."""
        levels = []
        for row in range(y, y + height):
            start = (row * self.width + x) * 3
            line = self.rgb[start:start + width * 3]
            levels.extend((line[i] * 0.299 + line[i + 1] * 0.587 + line[i + 2] * 0.114) / 255
                          for i in range(0, len(line), 3))
        return levels

    def mean(self, x, y, width, height):
        levels = self.region(x, y, width, height)
        return sum(levels) / len(levels)

    def darkest(self, x, y, width, height):
        return min(self.region(x, y, width, height))

    def is_red(self, x, y):
        r, g, b = self.pixel(x, y)
        return r > 150 and g < 110 and b < 110

    def cab_centre(self, x, y, width, height):
        """Mean x of the truck cab's orange pixels in a region, or None. No car is orange.
        After a hit the game-over shader tints everything: its cab is a dull brown."""
        xs = self._cab_columns(x, y, width, height)
        return sum(xs) / len(xs) if len(xs) > 20 else None

    def cab_middle(self, x, y, width, height):
        """The middle of the cab's orange columns, a twentieth trimmed off each side, or None.
        The turning bar hides more or less of the cab as it turns, which moves the mean by
        several pixels while the truck stands still; it seldom hides one whole side."""
        xs = sorted(self._cab_columns(x, y, width, height))
        if len(xs) <= 20:
            return None
        trim = len(xs) // 20
        return (xs[trim] + xs[-1 - trim]) / 2

    def _cab_columns(self, x, y, width, height):
        xs = []
        for row in range(y, y + height):
            for column in range(x, x + width):
                r, g, b = self.pixel(column, row)
                bright = r > 220 and 110 <= g <= 170 and b < 60
                tinted = 135 < r < 170 and 95 < g < 130 and 55 < b < 90 and r - g > 30
                if bright or tinted:
                    xs.append(column)
        return xs


def compare(a, b):
    """Mean absolute difference per channel (0..255) and the share of pixels in which some
    channel differs by more than 48: the first sees a wrong colour anywhere, the second a
    wrong shape, position or missing piece."""
    if (a.width, a.height) != (b.width, b.height):
        raise ValueError(f"{a.path} is {a.width}x{a.height}, {b.path} is {b.width}x{b.height}")
    total = 0
    far = 0
    pa, pb = a.rgb, b.rgb
    for i in range(0, len(pa), 3):
        d0 = abs(pa[i] - pb[i])
        d1 = abs(pa[i + 1] - pb[i + 1])
        d2 = abs(pa[i + 2] - pb[i + 2])
        total += d0 + d1 + d2
        if d0 > 48 or d1 > 48 or d2 > 48:
            far += 1
    pixels = len(pa) // 3
    return total / len(pa), far / pixels


def differing_pixels(a, b):
    return sum(1 for i in range(0, len(a.rgb), 3) if a.rgb[i:i + 3] != b.rgb[i:i + 3])
