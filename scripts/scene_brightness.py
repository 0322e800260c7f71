#!/usr/bin/env python3
"""Brightness of the show's scenes, measured on headless --dump frames.

A cell is one 4 x 3 block of the 640 x 400 picture: one source pixel, whose red, green and blue
dots lie on its three rows. Its level is the mean of its three channels' brightest dots, 0..1
(the light it gives); its value is the brightest of the three (so that a saturated colour counts
as bright as a grey). A scene's figures are the means over the non-black cells of its sampled
frames, so that the black around a lit object does not count.

Usage: scripts/scene_brightness.py [--program build/default/vantrose] [--data build/default/data]
                                   [--every 60] [--png-of SCENE:DIR] [SCENE ...]
Runs the show headless from the first scene asked for (with --scene), dumping every K-th frame,
and prints one line per scene. --png-of copies that scene's sampled frames into DIR to look at.
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib


def read_png(path):
    """Width, height and the RGB bytes of an 8-bit RGB PNG as the program writes them."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    at, idat = 8, []
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour == 2, "8-bit RGB expected"
        elif kind == b"IDAT":
            idat.append(body)
        at += 12 + length
    raw = zlib.decompress(b"".join(idat))
    stride = width * 3
    out = bytearray(stride * height)
    prev = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if kind == 1:
            for i in range(3, stride):
                line[i] = (line[i] + line[i - 3]) & 255
        elif kind == 2:
            for i in range(stride):
                line[i] = (line[i] + prev[i]) & 255
        elif kind == 3:
            for i in range(stride):
                left = line[i - 3] if i >= 3 else 0
                line[i] = (line[i] + ((left + prev[i]) >> 1)) & 255
        elif kind == 4:
            for i in range(stride):
                a = line[i - 3] if i >= 3 else 0
                b = prev[i]
                c = prev[i - 3] if i >= 3 else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        out[y * stride:(y + 1) * stride] = line
        prev = line
    return width, height, out


def frame_cells(path):
    """(level, value) of each of the frame's non-black cells."""
    width, height, rgb = read_png(path)
    stride = width * 3
    levels = []
    for top in range(0, height - 2, 3):
        best = []  # per channel: the brightest dot of each cell over its three rows
        for c in range(3):
            cell_max = None
            for k in range(3):
                row = rgb[(top + k) * stride:(top + k + 1) * stride]
                dots = row[c::3]
                four = list(map(max, dots[0::4], dots[1::4], dots[2::4], dots[3::4]))
                cell_max = four if cell_max is None else list(map(max, cell_max, four))
            best.append(cell_max)
        for r, g, b in zip(*best):
            if r or g or b:
                levels.append(((r + g + b) / (3 * 255), max(r, g, b) / 255))
    return levels


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    build = os.path.join(here, "..", "build", "default")
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", default=os.path.join(build, "vantrose"))
    parser.add_argument("--data", default=os.path.join(build, "data"))
    parser.add_argument("--every", type=int, default=60, help="sample every K-th frame")
    parser.add_argument("--png-of", action="append", default=[], metavar="SCENE:DIR")
    parser.add_argument("scenes", type=int, nargs="*", default=[21, 28, 40, 22, 29])
    args = parser.parse_args()

    dump = tempfile.mkdtemp(prefix="vantrose-brightness-")
    try:
        run = subprocess.run([args.program, "--headless", "--mode", "400", "--data", args.data,
                              "--trace", "--scene", str(min(args.scenes)), "--dump", dump,
                              "--dump-every", str(args.every)],
                             stderr=subprocess.PIPE, text=True)
        if run.returncode != 1:
            sys.exit("the show ended with status %d:\n%s" % (run.returncode, run.stderr[-2000:]))
        starts = [(int(f), int(s)) for s, f in re.findall(r"^scene (\d+) frame (\d+)", run.stderr,
                                                          re.M)]
        frames = sorted(int(name[6:12]) for name in os.listdir(dump))
        copies = dict(item.split(":", 1) for item in args.png_of)
        for scene in args.scenes:
            begin = next(f for f, s in starts if s == scene)
            end = next((f for f, s in starts if s == scene + 1), frames[-1] + 1)
            sampled = [f for f in frames if begin <= f < end]
            levels = []
            for f in sampled:
                name = "frame-%06d.png" % f
                levels += frame_cells(os.path.join(dump, name))
                if str(scene) in copies:
                    os.makedirs(copies[str(scene)], exist_ok=True)
                    shutil.copy(os.path.join(dump, name), copies[str(scene)])
            count = max(1, len(levels))
            print("scene %2d  %3d frames  non-black cells: mean level %.3f, mean value %.3f"
                  "  (%.0f%% of cells lit)"
                  % (scene, len(sampled), sum(l for l, _ in levels) / count,
                     sum(v for _, v in levels) / count,
                     100.0 * len(levels) / max(1, len(sampled) * 160 * 133)))
    finally:
        shutil.rmtree(dump)


if __name__ == "__main__":
    main()
