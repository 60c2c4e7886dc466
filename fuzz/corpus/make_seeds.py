#!/usr/bin/env python3
"""Writes the hand-made seeds of fuzz/corpus/<target>/.

Each seed is a short sequence of calls, written as the choices the target's
byte reader makes. FuzzedDataProvider takes integers from the end of the
input, most significant byte first, so the choices are encoded in order and
the bytes reversed at the end. Run from anywhere: python3 make_seeds.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


class Seed:
    def __init__(self):
        self.taken = []  # bytes in the order the reader takes them

    def range(self, lo, hi, value):
        assert lo <= value <= hi
        span, offset, count = hi - lo, value - lo, 0
        while count < 8 and (span >> (8 * count)) > 0:
            count += 1
        self.taken += list((offset).to_bytes(count, "big")) if count else []
        return self

    def pick(self, n, value):
        return self.range(0, n - 1, value)

    def flag(self, value):
        self.taken.append(1 if value else 0)
        return self

    def u32(self, value):
        return self.range(0, 2**32 - 1, value)

    def small(self, value):  # Input::integer, small branch
        return self.pick(4, 0).range(-4, 64, value)

    def number(self, value):  # Input::number, a multiple of 1/16 in [-256, 256]
        for shift in range(5):
            scaled = value * (1 << shift)
            if scaled == int(scaled) and -256 <= scaled <= 256:
                return self.pick(4, 0).range(-256, 256, int(scaled)).range(0, 4, shift)
        raise ValueError(value)

    def special(self, index):  # Input::number, one of the special values
        return self.pick(4, 1).pick(19, index)

    def bytes(self):
        return bytes(reversed(self.taken))


# Handles::any: the live handle at `index` of `count`, or the invalid one.
def handle(seed, index, count):
    seed.pick(8, 2)
    if count > 1:
        seed.pick(count, index)
    return seed


# --- path_fuzz ---------------------------------------------------------------

def path_create(seed, live, datatype=3):
    handle(seed, 0, live).pick(15, 0)
    seed.pick(16, 1).pick(8, 1).pick(4, datatype)
    seed.pick(2, 1).pick(2, 1).pick(4, 1).pick(4, 1).pick(4, 1)
    return seed


def coord(seed, datatype, v):
    if datatype == 3:
        seed.number(v)
    elif datatype == 0:
        seed.range(0, 255, v & 0xFF)
    elif datatype == 1:
        seed.pick(2, 1).range(-300, 300, v)
    else:
        seed.pick(2, 1).range(-300, 300, v)


def append(seed, commands, coords, datatype=3):
    """commands: (kind index 0..12, relative) pairs; coords: all of them."""
    seed.pick(16, 1).range(1, 24, len(commands))
    for kind, relative in commands:
        seed.pick(16, 1).pick(13, kind).pick(2, relative)
    seed.pick(16, 3)
    for v in coords:
        coord(seed, datatype, v)
    return seed


SQUARE = ([(1, 0), (2, 0), (2, 0), (2, 0), (0, 0)], [0, 0, 10, 0, 10, 10, 0, 10])
CURVES = ([(1, 0), (5, 0), (6, 1), (7, 0), (8, 1), (0, 0)],
          [1, 1, 4, 8, 8, 1, 1, 2, 3, -2, 4, 0, 9, 9, 2, 2, 5, 5])
ARCS = ([(1, 0), (9, 0), (10, 0), (11, 1), (12, 0), (3, 0), (4, 1)],
        [0, 0, 5, 3, 30, 10, 0, 5, 3, 45, 0, 10, 2, 2, 0, 5, 5, 8, 4, 90, 0, 0, 7, -3])


def path_seeds():
    seeds = {}
    # A square measured every way.
    s = path_create(Seed(), 0)
    handle(s, 0, 1).pick(15, 1)
    append(s, *SQUARE)
    handle(s, 0, 1).pick(15, 6).pick(16, 2)  # bounds
    handle(s, 0, 1).pick(15, 8).pick(8, 1).range(0, 5, 0).pick(8, 1).range(0, 6, 5)  # length
    handle(s, 0, 1).pick(15, 9).pick(8, 1).range(0, 5, 0).pick(8, 1).range(0, 6, 5)
    s.range(0, 255, 15).number(15)  # point along, all four outputs
    seeds["square"] = s
    # Curves and arcs, transformed and interpolated with themselves.
    for name, (cmds, coords) in (("curves", CURVES), ("arcs", ARCS)):
        s = path_create(Seed(), 0)
        handle(s, 0, 1).pick(15, 1)
        append(s, cmds, coords)
        handle(s, 0, 1).pick(15, 4).flag(1).pick(4, 1).pick(7, 5).number(30)
        handle(s, 0, 1)  # transform into itself
        handle(s, 0, 1).pick(15, 5)
        handle(s, 0, 1)
        handle(s, 0, 1)
        s.number(0.5)
        handle(s, 0, 1).pick(15, 7).flag(0).pick(16, 2)  # transformed bounds
        seeds[name] = s
    # Integer datatypes appended into a float path (scale and bias applied).
    for datatype in (0, 1, 2):
        s = path_create(Seed(), 0, datatype)
        handle(s, 0, 1).pick(15, 1)
        append(s, *SQUARE, datatype=datatype)
        path_create(s, 1)
        handle(s, 1, 2).pick(15, 2)
        handle(s, 0, 2)  # append path 0 to path 1
        handle(s, 1, 2).pick(15, 3)  # modify all of path 1
        s.pick(8, 1).range(0, 5, 0).pick(8, 1).range(0, 6, 5).pick(16, 3)
        for v in SQUARE[1]:
            coord(s, 3, v + 1)
        seeds["datatype%d" % datatype] = s
    # Destroyed, then used.
    s = path_create(Seed(), 0)
    handle(s, 0, 1).pick(15, 11)
    s.pick(8, 0).pick(15, 1)  # the stale handle
    append(s, *SQUARE)
    seeds["stale"] = s
    return seeds


# --- params_fuzz -------------------------------------------------------------

def params_seeds():
    seeds = {}
    # Paints: create, colour, set, read back, destroy while set.
    s = Seed()
    s.pick(4, 1).pick(8, 2).pick(14, 0)  # vgCreatePaint
    s.pick(4, 1).pick(8, 2).pick(14, 5).u32(0x336699CC)  # vgSetColor
    s.pick(4, 1).pick(8, 2).pick(14, 3)  # vgSetPaint(paint, fill)
    s.pick(4, 1).pick(8, 2).pick(8, 2).pick(4, 1).range(1, 3, 3)
    s.pick(4, 1).pick(8, 2).pick(14, 10).pick(8, 1).pick(14, 1).pick(4, 0)  # read the colour
    s.pick(4, 1).pick(8, 2).pick(14, 1)  # destroy it while set
    s.pick(4, 1).pick(8, 0).pick(14, 6)  # stale
    seeds["paint"] = s
    # Ramp stops and gradients.
    s = Seed()
    s.pick(4, 1).pick(8, 2).pick(14, 0)
    s.pick(4, 1).pick(8, 2).pick(14, 9).pick(8, 1).pick(14, 3).pick(4, 3).pick(4, 0).range(0, 40, 2)
    s.pick(16, 1)
    for v in (0, 1, 0, 0, 1, 1, 0, 0, 1, 1):
        s.pick(3, 1).number(v)
    s.pick(16, 1)
    s.pick(4, 1).pick(8, 2).pick(14, 10).pick(8, 1).pick(14, 3).pick(4, 2).pick(4, 1).range(0, 40, 3)
    s.pick(16, 1).flag(0)
    seeds["ramp"] = s
    # Context parameters: scissor rectangles, dashes, read back.
    s = Seed()
    s.pick(4, 1).pick(8, 2).pick(14, 7).pick(8, 1).pick(37, 6).pick(4, 2).pick(4, 1).range(0, 40, 2)
    s.pick(16, 1)
    for i in (0, 0, 1, 1, 1, 1, 1, 1):  # (0, 0, 1, 1), (1, 1, 1, 1)
        s.pick(8, 1).pick(21, i)
    s.pick(16, 1)
    s.pick(4, 1).pick(8, 2).pick(14, 8).pick(8, 1).pick(37, 6).pick(4, 1)
    s.pick(4, 1).pick(8, 2).pick(14, 7).pick(8, 1).pick(37, 13).pick(4, 3).pick(4, 2).range(-1, 10, 3)
    s.pick(16, 1)
    for v in (1, 2, 3):
        s.pick(3, 1).number(v)
    s.pick(16, 1)
    s.pick(4, 1).pick(8, 2).pick(14, 8).pick(8, 1).pick(37, 13).pick(4, 0)
    seeds["context"] = s
    # Matrices in every mode.
    s = Seed()
    for mode in range(5):
        s.pick(4, 1).pick(8, 2).pick(14, 11).flag(1).pick(8, 1).pick(5, mode).pick(8, 5).number(45)
    s.pick(4, 1).pick(8, 2).pick(14, 11).flag(0).pick(8, 1)
    for v in (1, 0, 0.5, 0, 2, 0.25, 3, 4, 1):
        s.number(v)
    seeds["matrix"] = s
    return seeds


# --- draw_fuzz ---------------------------------------------------------------

def draw_step(seed, op, path_index=0, paths=1):
    if paths:
        handle(seed, path_index, paths)
    else:
        seed.pick(8, 2)
    return seed.pick(13, op)


def draw_square(seed, cmds_coords=SQUARE):
    draw_step(seed, 0, paths=0)
    seed.pick(16, 1).pick(8, 1).pick(4, 3).pick(2, 1).pick(2, 1).pick(4, 1).pick(4, 1).pick(4, 1)
    draw_step(seed, 1)
    append(seed, *cmds_coords)
    draw_step(seed, 2).pick(4, 1).pick(7, 3).number(8).number(8)  # vgScale(8, 8)
    return seed


def draw_fill(seed, modes=2):
    return draw_step(seed, 12).pick(8, 1).range(1, 3, modes)


def draw_seeds():
    seeds = {}
    start = lambda: Seed().pick(8, 1).flag(0)
    for mode in range(10):  # every blend mode over a cleared surface
        s = start()
        draw_step(s, 9, paths=0).flag(1)
        for v in (0.25, 0.5, 0.75, 1):
            s.pick(2, 1).range(-2, 8, int(v * 4))
        s.pick(4, 1).range(-32, 160, 0).range(-32, 160, 0).range(-1, 200, 128).range(-1, 200, 128)
        draw_square(s)
        draw_step(s, 5).pick(8, 1).pick(10, mode)
        draw_fill(s)
        seeds["blend%d" % mode] = s
    s = start()
    draw_square(s, CURVES)
    draw_step(s, 3).pick(8, 1).pick(2, 1)  # non-zero
    draw_step(s, 4).pick(8, 1).pick(3, 0)  # non-antialiased
    draw_fill(s, 3)
    seeds["curves"] = s
    s = start()
    draw_square(s, ARCS)
    draw_step(s, 6).range(0, 33, 2)
    for v in (0, 0, 40, 40, 60, 60, 100, 30):
        s.pick(2, 1).range(-16, 160, v)
    draw_step(s, 7).pick(8, 1).pick(2, 1)
    draw_fill(s)
    seeds["scissor"] = s
    s = start()
    draw_square(s)
    draw_step(s, 8).pick(2, 1).range(0, 300, 0).pick(2, 1).range(0, 300, 0)  # 0 x 0
    draw_fill(s)
    draw_step(s, 8).pick(2, 1).range(0, 300, 300).pick(2, 1).range(0, 300, 20)
    draw_fill(s)
    seeds["resize"] = s
    s = start()
    draw_square(s)
    draw_step(s, 10).pick(4, 0)  # vgCreatePaint
    draw_step(s, 10).pick(4, 1).pick(8, 2).flag(0)
    for v in (2, 1, -1, 2):
        s.pick(2, 1).range(-2, 8, v)
    draw_step(s, 10).pick(4, 3).pick(4, 1).pick(8, 2).range(1, 3, 2)
    draw_fill(s)
    seeds["paint"] = s
    return seeds


def main():
    for target, seeds in (("path_fuzz", path_seeds()), ("params_fuzz", params_seeds()),
                          ("draw_fuzz", draw_seeds())):
        folder = os.path.join(HERE, target)
        os.makedirs(folder, exist_ok=True)
        for name, seed in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(seed.bytes())


if __name__ == "__main__":
    main()
