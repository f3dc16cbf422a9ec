#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the button icons, the LED images and the application icon with ImageMagick.

The toolbar glyphs are drawn white-on-black as a coverage mask and then turned into white
pixels with that mask as alpha, so anti-aliased edges stay clean on any background and holes
(the floppy's shutter, the tray's inside) are simply drawn in black.

    python3 scripts/draw_icons.py         # rewrites ui/images/*.png, ui/app.ico, ui/icons/
    python3 scripts/draw_icons.py icons   # only the desktop icons, from ui/images/app.png
"""

import math
import pathlib
import shutil
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
IMAGES = ROOT / "ui" / "images"
ICONS = ROOT / "ui" / "icons" / "hicolor"
# The sizes desktops ask the icon theme for: menus, panels, launchers, software centres.
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
GLYPH = 256
LED = 200


def convert(*args):
    subprocess.run(["convert", *map(str, args)], check=True)


def pts(points):
    return " ".join(f"{x:.1f},{y:.1f}" for x, y in points)


def glyph(name, draws):
    """draws: list of (colour, stroke width or 0 for fill only, draw primitive)."""
    args = ["-size", f"{GLYPH}x{GLYPH}", "xc:black"]
    for colour, stroke, primitive in draws:
        if stroke:
            args += ["-fill", "none", "-stroke", colour, "-strokewidth", stroke]
        else:
            args += ["-fill", colour, "-stroke", "none"]
        args += ["-draw", primitive]
    # Greyscale coverage becomes the alpha channel of a white image.
    args += ["-background", "white", "-alpha", "shape", "-depth", "8", "-define", "png:color-type=6",
             IMAGES / name]
    convert(*args)


def tray():
    return [("white", 22, "stroke-linejoin round stroke-linecap round polyline "
             + pts([(36, 150), (36, 222), (220, 222), (220, 150)]))]


def receive():
    shaft = ("white", 0, "rectangle 113,22 143,118")
    head = ("white", 0, "polygon " + pts([(70, 110), (186, 110), (128, 182)]))
    glyph("Receive.png", tray() + [shaft, head])


def send():
    head = ("white", 0, "polygon " + pts([(70, 96), (186, 96), (128, 24)]))
    shaft = ("white", 0, "rectangle 113,90 143,186")
    glyph("Send.png", tray() + [shaft, head])


def open_folder():
    back = ("white", 16, "stroke-linejoin round polyline "
            + pts([(32, 196), (32, 52), (98, 52), (118, 76), (204, 76), (204, 108)]))
    front = ("white", 0, "polygon " + pts([(66, 118), (244, 118), (206, 214), (26, 214)]))
    glyph("open.png", [back, front])


def floppy():
    body = ("white", 0, "polygon " + pts([(36, 32), (188, 32), (224, 68), (224, 214),
                                         (218, 224), (42, 224), (32, 214), (32, 42)]))
    rounding = ("white", 12, "stroke-linejoin round polygon "
                + pts([(38, 38), (186, 38), (218, 70), (218, 218), (38, 218)]))
    shutter = ("black", 0, "rectangle 74,32 176,100")
    window = ("white", 0, "rectangle 140,46 162,88")
    label = ("black", 0, "roundrectangle 62,134 194,224 8,8")
    lines = [("white", 0, "rectangle 80,156 176,166"), ("white", 0, "rectangle 80,184 176,194")]
    glyph("save.png", [body, rounding, shutter, window, label] + lines)


def reset():
    cx, cy, r = 128, 134, 90
    start, end = math.radians(-40), math.radians(-140 + 360)
    steps = 64
    arc_points = [(cx + r * math.cos(start + (end - start) * i / steps),
                   cy + r * math.sin(start + (end - start) * i / steps)) for i in range(steps + 1)]
    arc = ("white", 26, "stroke-linecap butt stroke-linejoin round polyline " + pts(arc_points))
    # Arrow head at the end of the stroke, pointing along the direction of travel.
    px, py = arc_points[-1]
    tx, ty = -math.sin(end), math.cos(end)
    nx, ny = -ty, tx
    tip = (px + tx * 44, py + ty * 44)
    base = (px - tx * 4, py - ty * 4)
    head = [tip, (base[0] + nx * 36, base[1] + ny * 36), (base[0] - nx * 36, base[1] - ny * 36)]
    glyph("Reset.png", [arc, ("white", 0, "polygon " + pts(head))])


def led(name, light, dark):
    with tempfile.TemporaryDirectory() as tmp:
        tmp = pathlib.Path(tmp)
        lens = tmp / "lens.png"
        inner = 168
        # The lens: a radial gradient cut off-centre, so the bright spot sits towards the top
        # left where the light falls, inside a circular mask.
        convert("-size", "300x300", f"radial-gradient:{light}-{dark}",
                "-crop", f"{inner}x{inner}+92+96", "+repage",
                "(", "-size", f"{inner}x{inner}", "xc:black", "-fill", "white",
                "-draw", f"circle {inner / 2 - 0.5},{inner / 2 - 0.5} {inner / 2 - 0.5},0.5", ")",
                "-alpha", "off", "-compose", "CopyOpacity", "-composite", lens)
        offset = (LED - inner) // 2
        convert("-size", f"{LED}x{LED}", "xc:none",
                # Bezel
                "-fill", "#2b2b2b", "-stroke", "#111111", "-strokewidth", "3",
                "-draw", f"circle {LED / 2 - 0.5},{LED / 2 - 0.5} {LED / 2 - 0.5},3",
                "-fill", "#505050", "-stroke", "none",
                "-draw", f"circle {LED / 2 - 0.5},{LED / 2 - 0.5} {LED / 2 - 0.5},11",
                lens, "-geometry", f"+{offset}+{offset}", "-compose", "over", "-composite",
                # Highlight
                "(", "-size", f"{LED}x{LED}", "xc:none", "-fill", "rgba(255,255,255,0.8)",
                "-draw", "ellipse 78,64 32,18 0,360", "-blur", "0x4", ")",
                "-compose", "over", "-composite",
                "-depth", "8", "-define", "png:color-type=6", IMAGES / name)


def app_picture():
    """A stylised transmitter: body, two stick gimbals and an aerial, on a rounded tile."""
    convert("-size", f"{GLYPH}x{GLYPH}", "xc:none",
            "-fill", "#d01818", "-draw", "roundrectangle 8,8 248,248 40,40",
            "-fill", "white", "-draw", "roundrectangle 184,14 196,100 5,5",
            "-fill", "#282828", "-stroke", "white", "-strokewidth", "6",
            "-draw", "roundrectangle 28,84 228,228 28,28",
            "-fill", "#55aaff", "-stroke", "white", "-strokewidth", "5",
            "-draw", "circle 82,156 82,118", "-draw", "circle 174,156 174,118",
            "-fill", "white", "-stroke", "none",
            "-draw", "circle 82,156 82,144", "-draw", "circle 174,156 174,144",
            "-depth", "8", "-define", "png:color-type=6", IMAGES / "app.png")
    convert(IMAGES / "app.png", "-define", "icon:auto-resize=256,64,48,32,16",
            ROOT / "ui" / "app.ico")


def desktop_icons():
    """The application picture at each size of the hicolor theme, as installed."""
    for size in ICON_SIZES:
        folder = ICONS / f"{size}x{size}" / "apps"
        folder.mkdir(parents=True, exist_ok=True)
        convert(IMAGES / "app.png", "-filter", "Lanczos", "-resize", f"{size}x{size}",
                "-depth", "8", "-define", "png:color-type=6", "-strip",
                folder / "korva-config.png")


def about_picture():
    convert("-size", f"{GLYPH}x{GLYPH}", "xc:none",
            "-fill", "#2a7fd4", "-stroke", "white", "-strokewidth", "10",
            "-draw", "circle 128,128 128,12",
            "-fill", "white", "-stroke", "none",
            "-draw", "circle 128,74 128,56",
            "-draw", "roundrectangle 110,106 146,206 8,8",
            "-depth", "8", "-define", "png:color-type=6", IMAGES / "about.png")


def main():
    if shutil.which("convert") is None:
        print("ImageMagick's convert is needed (apt-get install imagemagick)", file=sys.stderr)
        return 1
    if sys.argv[1:] == ["icons"]:
        desktop_icons()
        return 0
    IMAGES.mkdir(parents=True, exist_ok=True)
    receive()
    send()
    open_folder()
    floppy()
    reset()
    led("red.png", "#ff5a40", "#6a0000")
    led("green.png", "#70ff50", "#064a00")
    app_picture()
    desktop_icons()
    about_picture()
    return 0


if __name__ == "__main__":
    sys.exit(main())
