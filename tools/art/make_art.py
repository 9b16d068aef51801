#!/usr/bin/python3
"""Regenerate the application's artwork and desktop files.

Everything is drawn procedurally: shapes are rendered at several times the
target size and box-filtered down, so edges come out evenly anti-aliased.
The output depends only on this script, Pillow, FontForge and DejaVu Sans,
so running it twice gives byte-identical files.

    /usr/bin/python3 tools/art/make_art.py [--sheet /tmp/sheet.png]
"""

import argparse
import io
import math
import os
import struct
import sys

# FontForge stamps the font with this instead of the wall clock.
os.environ["SOURCE_DATE_EPOCH"] = "1704067200"

from PIL import Image, ImageDraw, ImageFont  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
RES = os.path.join(ROOT, "resource")

DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
DEJAVU_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# Palette: the style sheet's accent blue and text grey, plus tints of both, and
# the sheet's border and disabled greys.
ACCENT = (0x34, 0x98, 0xDB)
ACCENT_DARK = (0x2C, 0x81, 0xBA)
ACCENT_LIGHT = (0x85, 0xC1, 0xE9)
ACCENT_PALE = (0xD6, 0xEA, 0xF8)
TEXT = (0x40, 0x40, 0x40)
ICON_GREY = (0x55, 0x55, 0x55)
TRACK_GREY = (0xE1, 0xE6, 0xEA)
ACCENT_HOVER = (0x5D, 0xAD, 0xE2)
BORDER_GREY = (0xCC, 0xCC, 0xCC)
DISABLED_GREY = (0xBD, 0xC3, 0xC7)
WHITE = (0xFF, 0xFF, 0xFF)

SS = 8  # supersampling factor


# ---------------------------------------------------------------------------
# Drawing helpers


class Mask:
    """A coverage mask drawn in design units and box-filtered to pixels."""

    def __init__(self, width, height, units, ss=SS):
        self.size = (width, height)
        self.k = width * ss / units
        self.im = Image.new("L", (width * ss, height * ss), 0)
        self.d = ImageDraw.Draw(self.im)

    def _box(self, x0, y0, x1, y1):
        k = self.k
        return [x0 * k, y0 * k, x1 * k - 1, y1 * k - 1]

    def polygon(self, pts, ink=255):
        self.d.polygon([(x * self.k, y * self.k) for x, y in pts], fill=ink)

    def circle(self, cx, cy, r, ink=255):
        self.d.ellipse(self._box(cx - r, cy - r, cx + r, cy + r), fill=ink)

    def ring(self, cx, cy, r, w, ink=255):
        ro = r + w / 2
        self.d.ellipse(self._box(cx - ro, cy - ro, cx + ro, cy + ro), outline=ink,
                       width=max(1, round(w * self.k)))

    def rrect(self, x0, y0, x1, y1, r, ink=255):
        self.d.rounded_rectangle(self._box(x0, y0, x1, y1), radius=r * self.k, fill=ink)

    def line(self, x0, y0, x1, y1, w, ink=255):
        """A stroke with round caps."""
        dx, dy = x1 - x0, y1 - y0
        n = math.hypot(dx, dy) or 1.0
        ox, oy = -dy / n * w / 2, dx / n * w / 2
        self.polygon([(x0 + ox, y0 + oy), (x1 + ox, y1 + oy), (x1 - ox, y1 - oy), (x0 - ox, y0 - oy)], ink)
        self.circle(x0, y0, w / 2, ink)
        self.circle(x1, y1, w / 2, ink)

    def polyline(self, pts, w, ink=255):
        for a, b in zip(pts, pts[1:]):
            self.line(a[0], a[1], b[0], b[1], w, ink)

    def arc(self, cx, cy, r, w, start, end, ink=255):
        """An arc with round caps; angles in degrees, clockwise from 3 o'clock."""
        ro = r + w / 2
        self.d.arc(self._box(cx - ro, cy - ro, cx + ro, cy + ro), start, end, fill=ink,
                   width=max(1, round(w * self.k)))
        for a in (start, end):
            t = math.radians(a)
            self.circle(cx + r * math.cos(t), cy + r * math.sin(t), w / 2, ink)

    def result(self):
        return self.im.resize(self.size, Image.BOX)


def layer(mask, rgb):
    im = Image.new("RGBA", mask.size, rgb + (0,))
    im.putalpha(mask)
    return im


def stack(size, *layers):
    out = Image.new("RGBA", size, (0, 0, 0, 0))
    for lay in layers:
        out = Image.alpha_composite(out, lay)
    return out


def save_png(im, rel):
    path = os.path.join(RES, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    im.save(path, "PNG", optimize=True)
    return path


def save_text(text, rel, newline="\n"):
    path = os.path.join(RES, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline=newline) as f:
        f.write(text)
    return path


# ---------------------------------------------------------------------------
# Tool button icons: 64 x 64 design units, glyphs kept inside 14..50 so the
# active state's disc frames them.  Strokes are 6-7 units, about 2.5 px at the
# buttons' 24 px size.


def glyph_plus(m):
    m.line(32, 16, 32, 48, 7)
    m.line(16, 32, 48, 32, 7)


def folder_shape(m):
    m.polygon([(14, 20), (16, 17), (27, 17), (31, 21), (48, 21), (50, 23),
               (50, 30), (14, 30)])
    m.rrect(14, 19, 50, 47, 3.5)


def glyph_folder(m):
    folder_shape(m)
    # the gap between the back panel and the front flap
    m.polygon([(14, 26), (50, 26), (50, 29), (14, 29)], 0)


def glyph_remove_folder(m):
    folder_shape(m)
    m.line(24, 34.5, 40, 34.5, 5, 0)


def glyph_menu(m):
    for y in (21, 32, 43):
        m.line(17, y, 47, y, 6)


def glyph_back(m):
    m.line(18, 32, 47, 32, 6.5)
    m.polyline([(30, 19.5), (17.5, 32), (30, 44.5)], 6.5)


def glyph_trash(m):
    m.rrect(26, 13, 38, 22, 2.5)
    m.rrect(29.5, 16.5, 34.5, 22, 0.5, 0)
    m.line(16, 21, 48, 21, 5)
    m.polygon([(18.5, 25), (45.5, 25), (43, 46), (21, 46)])
    m.rrect(21, 43, 43, 50, 3)
    for x in (27.5, 36.5):
        m.line(x, 30.5, x, 43.5, 3.2, 0)


def glyph_search(m):
    m.ring(28, 28, 11, 6)
    m.line(37, 37, 46.5, 46.5, 7.5)


def glyph_stop(m):
    m.rrect(18, 18, 46, 46, 5)


MARK_TICK = [(23, 30.5), (30.5, 38), (48.5, 18)]


def glyph_mark(m):
    # an open box, so that it does not read as the solid stop square beside it
    m.rrect(15, 19, 45, 49, 5)
    m.rrect(20, 24, 40, 44, 1.5, 0)
    # the tick breaks out of the box's corner through a gap cut around it
    m.polyline(MARK_TICK, 12, 0)
    m.polyline(MARK_TICK, 6)


def glyph_trash_marked(m):
    # the trash can, with a tick in place of the single file's slats
    m.rrect(26, 13, 38, 22, 2.5)
    m.rrect(29.5, 16.5, 34.5, 22, 0.5, 0)
    m.line(16, 21, 48, 21, 5)
    m.polygon([(18.5, 25), (45.5, 25), (43, 46), (21, 46)])
    m.rrect(21, 43, 43, 50, 3)
    m.polyline([(24.5, 36), (30.5, 42), (40, 30.5)], 4.5, 0)


def chain_link(m, a, b, r, w, gap=0.0):
    """One link of a chain: a capsule outline round the segment a-b, outer radius r, stroke w.
    With gap, first clears a margin that wide round it, so it reads as lying on top."""
    if gap:
        m.line(a[0], a[1], b[0], b[1], 2 * (r + gap), 0)
    m.line(a[0], a[1], b[0], b[1], 2 * r)
    m.line(a[0], a[1], b[0], b[1], 2 * (r - w), 0)


def glyph_link_marked(m):
    # two links of a chain, the upper one over the lower: the copies keep their names and hold
    # together
    chain_link(m, (19, 45), (29, 35), 9, 6)
    chain_link(m, (35, 29), (45, 19), 9, 6, gap=2.5)
    # the lower link passes back over the upper one on its far side
    m.line(27.5, 36.5, 31.5, 32.5, 6)


def glyph_save(m):
    m.line(32, 13.5, 32, 35, 6.5)
    m.polyline([(22.5, 26.5), (32, 36), (41.5, 26.5)], 6.5)
    m.polyline([(16, 36), (16, 48), (48, 48), (48, 36)], 6.5)


def glyph_sort(m):
    # three bars, longest on top (the biggest first), and an arrow down beside them
    m.line(14, 18, 38, 18, 6)
    m.line(14, 32, 32, 32, 6)
    m.line(14, 46, 26, 46, 6)
    m.line(47, 15, 47, 45, 6)
    m.polyline([(40, 39), (47, 47), (54, 39)], 6)


def glyph_options(m):
    # sliders: thinner than the menu's bars, each with a knob cut free of its track
    for y, x in ((20, 40), (32, 24), (44, 34)):
        m.line(15, y, 49, y, 4)
        m.circle(x, y, 7.5, 0)
        m.circle(x, y, 5)


# name, drawing, whether the button can be disabled and so needs a dimmed image
ICONS = [
    ("plus", glyph_plus, False),
    ("remove_folder", glyph_remove_folder, False),
    ("menu", glyph_menu, False),
    ("back", glyph_back, False),
    ("folder", glyph_folder, False),
    ("trash", glyph_trash, False),
    ("search", glyph_search, False),
    ("stop", glyph_stop, True),
    ("mark", glyph_mark, True),
    ("trash_marked", glyph_trash_marked, True),
    ("link_marked", glyph_link_marked, True),
    ("save", glyph_save, True),
    ("sort", glyph_sort, True),
    ("options", glyph_options, False),
]


def make_button_icons():
    out = []
    for name, draw, can_disable in ICONS:
        g = Mask(64, 64, 64)
        draw(g)
        glyph = g.result()
        disc = Mask(64, 64, 64)
        disc.circle(32, 32, 31.75)
        normal = layer(glyph, ICON_GREY)
        active = stack((64, 64), layer(disc.result(), ACCENT), layer(glyph, WHITE))
        out.append(save_png(normal, name + "_normal2.png"))
        out.append(save_png(active, name + "_active.png"))
        if can_disable:
            # a style-sheet image is drawn as it is whatever the button's state
            out.append(save_png(layer(glyph, DISABLED_GREY), name + "_disabled.png"))
    return out


# ---------------------------------------------------------------------------
# Check boxes of the duplicate tree: 16 px, with a twice-size "@2x" partner
# that the toolkit picks on high-density screens once high-DPI pixmaps are
# enabled.  Flat like the rest: white
# box with the sheet's grey border, accent-filled when checked, and a white
# box with an accent mark on selected (accent-coloured) rows.

CHECK_STATES = ("unchecked", "checked", "partial")
CHECK_VARIANTS = ("", "_hover", "_selected")


def checkbox(px, state, variant):
    def mask(fn):
        m = Mask(px, px, 16)
        fn(m)
        return m.result()

    def box(m):
        m.rrect(0, 0, 16, 16, 2.5)

    def inside(m):
        m.rrect(1, 1, 15, 15, 1.5)

    def mark(m):
        if state == "checked":
            m.polyline([(4.25, 8.25), (6.75, 10.75), (11.75, 5.5)], 2)
        elif state == "partial":
            m.line(4.5, 8, 11.5, 8, 2)

    if variant == "_selected":
        return stack((px, px), layer(mask(box), WHITE), layer(mask(mark), ACCENT))
    if state == "unchecked":
        edge = ACCENT if variant == "_hover" else BORDER_GREY
        return stack((px, px), layer(mask(box), edge), layer(mask(inside), WHITE))
    fill = ACCENT_HOVER if variant == "_hover" else ACCENT
    return stack((px, px), layer(mask(box), fill), layer(mask(mark), WHITE))


def make_checkboxes():
    out = []
    for state in CHECK_STATES:
        for variant in CHECK_VARIANTS:
            name = "checkbox_%s%s" % (state, variant)
            out.append(save_png(checkbox(16, state, variant), name + ".png"))
            out.append(save_png(checkbox(32, state, variant), name + "@2x.png"))
    return out


# ---------------------------------------------------------------------------
# Row marks of the duplicate tree, in place of a file's icon once the file shares a kept copy's
# storage or has become a link to it: 16 px with an "@2x" partner, in the accent colour.


def row_linked(m):
    chain_link(m, (4.5, 11.5), (7, 9), 3.3, 1.9)
    chain_link(m, (9, 7), (11.5, 4.5), 3.3, 1.9, gap=0.9)
    m.line(6.6, 9.4, 7.9, 8.1, 1.9)


def row_shared(m):
    # two files standing on one block of storage
    for x0 in (1.5, 9):
        m.rrect(x0, 1.5, x0 + 5.5, 9, 1.2)
        m.rrect(x0 + 1.5, 3, x0 + 4, 7.5, 0.3, 0)
        m.line(x0 + 2.75, 9, x0 + 2.75, 11.5, 1.5)
    m.rrect(1.5, 11.5, 14.5, 14.5, 1)


def make_row_marks():
    out = []
    for name, draw in (("row_linked", row_linked), ("row_shared", row_shared)):
        for px, suffix in ((16, ""), (32, "@2x")):
            g = Mask(px, px, 16)
            draw(g)
            out.append(save_png(layer(g.result(), ACCENT), name + suffix + ".png"))
    return out


# ---------------------------------------------------------------------------
# Application icon: two overlapping documents, the front one marked "=".
# Design units 256.


def doc_points(x0, y0, x1, y1, r, fold, grow=0.0, steps=16):
    x0, y0, x1, y1, r = x0 - grow, y0 - grow, x1 + grow, y1 + grow, r + grow
    fold = fold - grow * (math.sqrt(2) - 1)
    pts = []

    def corner(cx, cy, a0):
        for i in range(steps + 1):
            t = math.radians(a0 + 90 * i / steps)
            pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))

    corner(x0 + r, y0 + r, 180)
    pts += [(x1 - fold, y0), (x1, y0 + fold)]
    corner(x1 - r, y1 - r, 0)
    corner(x0 + r, y1 - r, 90)
    return pts


BACK_DOC = (30, 14, 160, 186)
FRONT_DOC = (96, 70, 226, 242)
DOC_R = 16
DOC_FOLD = 46
DOC_GAP = 10


def app_icon(size):
    def mask(fn):
        m = Mask(size, size, 256)
        fn(m)
        return m.result()

    def back(m):
        m.polygon(doc_points(*BACK_DOC, DOC_R, DOC_FOLD))
        m.polygon(doc_points(*FRONT_DOC, DOC_R, DOC_FOLD, grow=DOC_GAP), 0)

    def back_fold(m):
        x1, y0 = BACK_DOC[2], BACK_DOC[1]
        m.polygon([(x1 - DOC_FOLD, y0), (x1 - DOC_FOLD, y0 + DOC_FOLD - 8), (x1 - DOC_FOLD + 8, y0 + DOC_FOLD),
                   (x1, y0 + DOC_FOLD)])
        m.polygon(doc_points(*FRONT_DOC, DOC_R, DOC_FOLD, grow=DOC_GAP), 0)

    def front(m):
        m.polygon(doc_points(*FRONT_DOC, DOC_R, DOC_FOLD))

    def front_fold(m):
        x1, y0 = FRONT_DOC[2], FRONT_DOC[1]
        m.polygon([(x1 - DOC_FOLD, y0), (x1 - DOC_FOLD, y0 + DOC_FOLD - 8), (x1 - DOC_FOLD + 8, y0 + DOC_FOLD),
                   (x1, y0 + DOC_FOLD)])

    def equals(m):
        cx = (FRONT_DOC[0] + FRONT_DOC[2]) / 2
        cy = (FRONT_DOC[1] + FRONT_DOC[3]) / 2 + 12
        for y in (cy - 17, cy + 17):
            m.line(cx - 32, y, cx + 32, y, 20)

    return stack((size, size),
                 layer(mask(back), ACCENT_LIGHT),
                 layer(mask(back_fold), ACCENT_PALE),
                 layer(mask(front), ACCENT),
                 layer(mask(front_fold), ACCENT_LIGHT),
                 layer(mask(equals), WHITE))


def bmp_dib32(im):
    """An icon image in the classic DIB form: BGRA rows bottom-up, then the AND mask."""
    w, h = im.size
    px = im.load()
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            xor += bytes((b, g, r, a))
    return dib_header(w, h, 32, 0) + bytes(xor) + and_mask(im)


def bmp_dib8(im):
    """A 256-colour icon image: alpha thresholded into the AND mask."""
    w, h = im.size
    alpha = im.getchannel("A")
    # matte onto white so the thresholded edge pixels do not turn dark
    flat = Image.alpha_composite(Image.new("RGBA", im.size, WHITE + (255,)), im).convert("RGB")
    pal = flat.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    palette = pal.getpalette()[: 256 * 3]
    palette += [0] * (256 * 3 - len(palette))
    quad = bytearray()
    for i in range(256):
        r, g, b = palette[3 * i: 3 * i + 3]
        quad += bytes((b, g, r, 0))
    idx = pal.load()
    apx = alpha.load()
    rows = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytes(idx[x, y] if apx[x, y] >= 128 else 0 for x in range(w))
        rows += row + b"\0" * (-len(row) % 4)
    return dib_header(w, h, 8, 256) + bytes(quad) + bytes(rows) + and_mask(im)


def dib_header(w, h, bpp, colors):
    stride = ((w * bpp + 31) // 32) * 4
    mask_stride = ((w + 31) // 32) * 4
    return struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, bpp, 0, (stride + mask_stride) * h, 0, 0, colors, 0)


def and_mask(im, threshold=128):
    w, h = im.size
    apx = im.getchannel("A").load()
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if apx[x, y] < threshold:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def png_bytes(im):
    buf = io.BytesIO()
    im.save(buf, "PNG", optimize=True)
    return buf.getvalue()


def write_ico(path, entries):
    """entries: (width, height, bits per pixel, image data)."""
    head = struct.pack("<HHH", 0, 1, len(entries))
    offset = len(head) + 16 * len(entries)
    dirs, blobs = b"", b""
    for w, h, bpp, data in entries:
        dirs += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, bpp, len(data), offset)
        blobs += data
        offset += len(data)
    with open(path, "wb") as f:
        f.write(head + dirs + blobs)


def make_app_icons():
    out = []
    icons = {s: app_icon(s) for s in (48, 64, 128, 256)}
    for s, im in icons.items():
        out.append(save_png(im, "desktop/icons/tarvik_%d.png" % s))
    big = png_bytes(icons[256])
    entries = [(s, s, 32, bmp_dib32(icons[s])) for s in (48, 64, 128)]
    entries += [(256, 256, 32, big)] * 3
    entries.append((256, 256, 8, bmp_dib8(icons[256])))
    path = os.path.join(RES, "win", "tarvik.ico")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    write_ico(path, entries)
    out.append(path)
    return out


# ---------------------------------------------------------------------------
# Logo: 320 x 100, the icon's mark beside the two-line name.


def text_mask(size, text, font, pos):
    m = Image.new("L", size, 0)
    ImageDraw.Draw(m).text(pos, text, font=font, fill=255, anchor="ls")
    return m


def make_logo():
    size = (320, 100)
    mark = app_icon(84)
    canvas = Image.new("RGBA", size, (0, 0, 0, 0))
    canvas.alpha_composite(mark, (2, 8))
    name = ImageFont.truetype(DEJAVU_BOLD, 40)
    sub = ImageFont.truetype(DEJAVU, 23)
    x = 100
    canvas = stack(size, canvas,
                   layer(text_mask(size, "Tarvik", name, (x - 2, 48)), TEXT),
                   layer(text_mask(size, "Duplicate Finder", sub, (x, 78)), ACCENT))
    return [save_png(canvas, "app_name_320.png")]


# ---------------------------------------------------------------------------
# Spinner: a grey track with a blue arc going once round in 19 frames.

SPIN_FRAMES = 19
SPIN_MS = 50


def spinner_frame(i):
    start = -90 + i * 360 / SPIN_FRAMES
    track = Mask(200, 200, 200, ss=4)
    track.ring(100, 100, 78, 20)
    arc = Mask(200, 200, 200, ss=4)
    arc.arc(100, 100, 78, 20, start, start + 110)
    return stack((200, 200), layer(track.result(), TRACK_GREY), layer(arc.result(), ACCENT))


def make_spinner():
    frames = [spinner_frame(i) for i in range(SPIN_FRAMES)]
    # GIF has one-bit transparency: matte the soft edges onto white (the page
    # colour) and keep only the untouched background transparent.
    white = Image.new("RGBA", (200, 200), WHITE + (255,))
    flats = [Image.alpha_composite(white, f).convert("RGB") for f in frames]
    strip = Image.new("RGB", (200 * SPIN_FRAMES, 200))
    for i, f in enumerate(flats):
        strip.paste(f, (200 * i, 0))
    shared = strip.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal = shared.getpalette()[: 255 * 3]
    pal += [255] * (255 * 3 - len(pal))
    palette = list(WHITE) + pal  # index 0: transparent, white where ignored

    out = []
    for f, flat in zip(frames, flats):
        q = flat.quantize(palette=shared, dither=Image.Dither.NONE)
        idx = Image.frombytes("L", q.size, q.tobytes()).point(lambda v: v + 1)
        clear = f.getchannel("A").point(lambda a: 255 if a == 0 else 0)
        idx.paste(0, (0, 0), clear)
        p = Image.frombytes("P", idx.size, idx.tobytes())
        p.putpalette(palette)
        out.append(p)
    path = os.path.join(RES, "loading_spinner.gif")
    out[0].save(path, save_all=True, append_images=out[1:], duration=SPIN_MS, loop=0,
                transparency=0, background=0, disposal=2, optimize=False)
    return [path]


# ---------------------------------------------------------------------------
# Icon font "Entypo": a handful of glyphs in the Private Use Area only, with
# differing advance widths and no space or ASCII glyph, so that fontconfig
# takes it for proportional and never lends it to ordinary text.


def make_font():
    import fontforge

    f = fontforge.font()
    f.encoding = "UnicodeFull"
    f.fontname = "Entypo"
    f.familyname = "Entypo"
    f.fullname = "Entypo"
    f.weight = "Regular"
    f.version = "1.0"
    f.copyright = "Icon glyphs for Tarvik Duplicate Finder."
    f.em = 1000
    f.ascent = 800
    f.descent = 200
    f.os2_panose = (5, 10, 0, 2, 0, 0, 0, 0, 0, 0)  # Latin symbol, icons, proportional
    f.os2_weight = 400
    f.os2_vendor = "TRVK"

    def circle(pen, cx, cy, r, clockwise=False):
        k = 0.5523 * r
        pts = [(cx + r, cy), (cx, cy + r), (cx - r, cy), (cx, cy - r)]
        if clockwise:
            pts = pts[::-1]
        pen.moveTo(pts[0])
        for i in range(4):
            a, b = pts[i], pts[(i + 1) % 4]
            ta = (a[1] - cy, -(a[0] - cx)) if clockwise else (-(a[1] - cy), a[0] - cx)
            tb = (b[1] - cy, -(b[0] - cx)) if clockwise else (-(b[1] - cy), b[0] - cx)
            c1 = (a[0] + ta[0] / r * k, a[1] + ta[1] / r * k)
            c2 = (b[0] - tb[0] / r * k, b[1] - tb[1] / r * k)
            pen.curveTo(c1, c2, b)
        pen.closePath()

    def poly(pen, pts):
        pen.moveTo(pts[0])
        for p in pts[1:]:
            pen.lineTo(p)
        pen.closePath()

    def rect(pen, x0, y0, x1, y1):
        poly(pen, [(x0, y0), (x0, y1), (x1, y1), (x1, y0)])

    def bar(pen, x0, y0, x1, y1, w):
        dx, dy = x1 - x0, y1 - y0
        n = math.hypot(dx, dy)
        ox, oy = -dy / n * w / 2, dx / n * w / 2
        poly(pen, [(x0 + ox, y0 + oy), (x1 + ox, y1 + oy), (x1 - ox, y1 - oy), (x0 - ox, y0 - oy)])

    def g_plus(pen):
        rect(pen, 340, 20, 460, 620)
        rect(pen, 100, 260, 700, 380)

    def g_minus(pen):
        rect(pen, 100, 260, 620, 380)

    def g_menu(pen):
        for y in (60, 270, 480):
            rect(pen, 90, y, 750, y + 100)

    def g_left(pen):
        poly(pen, [(80, 320), (380, 620), (470, 530), (330, 385), (800, 385), (800, 255), (330, 255),
                   (470, 110), (380, 20)])

    def g_folder(pen):
        poly(pen, [(60, 0), (60, 640), (380, 640), (450, 560), (940, 560), (940, 0)])

    def g_trash(pen):
        poly(pen, [(150, 0), (100, 520), (620, 520), (570, 0)])
        rect(pen, 60, 560, 660, 640)
        rect(pen, 260, 640, 460, 700)

    def h_trash(pen):
        rect(pen, 250, 80, 310, 440)
        rect(pen, 410, 80, 470, 440)

    def g_search(pen):
        circle(pen, 370, 390, 300)
        circle(pen, 370, 390, 190, clockwise=True)
        bar(pen, 560, 175, 840, -60, 150)

    def g_check(pen):
        poly(pen, [(60, 330), (330, 40), (930, 560), (840, 650), (330, 210), (150, 420)])

    # code point, advance width, outline, holes cut into the outline
    glyphs = [
        (0xE700, 800, g_plus, None),
        (0xE701, 720, g_minus, None),
        (0xE702, 1000, g_folder, None),
        (0xE703, 720, g_trash, h_trash),
        (0xE704, 900, g_search, None),
        (0xE705, 840, g_menu, None),
        (0xE706, 880, g_left, None),
        (0xE707, 990, g_check, None),
    ]
    for code, width, draw, holes in glyphs:
        g = f.createChar(code, "uni%04X" % code)
        pen = g.glyphPen()
        draw(pen)
        pen = None
        g.removeOverlap()
        if holes:
            # drawn after the union so they stay holes; correctDirection
            # orients them by nesting
            pen = g.glyphPen(replace=False)
            holes(pen)
            pen = None
        g.correctDirection()
        g.width = width

    path = os.path.join(RES, "fonts", "entypo.ttf")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    f.generate(path, flags=("opentype", "no-FFTM-table", "omit-instructions"))
    f.close()
    return [path]


# ---------------------------------------------------------------------------
# Desktop entry and Windows resources.

DESKTOP = """\
[Desktop Entry]
Type=Application
Name=Tarvik Duplicate Finder
GenericName=Duplicate File Finder
Comment=Finds files with identical content
Exec=tarvik
Icon=tarvik
Terminal=false
Categories=Utility;
Keywords=duplicate;files;identical;clean;
"""

RC = """\
IDI_ICON1 ICON "tarvik.ico"
1 24 "tarvik.manifest"
"""

MANIFEST = """\
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level="asInvoker" uiAccess="false"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
</assembly>
"""


def make_text_files():
    return [
        save_text(DESKTOP, "desktop/tarvik.desktop"),
        save_text(RC, "win/tarvik.rc", newline="\r\n"),
        save_text(MANIFEST, "win/tarvik.manifest", newline="\r\n"),
    ]


# ---------------------------------------------------------------------------
# Contact sheet for eyeballing the results (not part of the resources).


def contact_sheet(path):
    sheet = Image.new("RGBA", (1270, 960), WHITE + (255,))
    d = ImageDraw.Draw(sheet)
    font = ImageFont.truetype(DEJAVU, 11)
    for n, (name, _, can_disable) in enumerate(ICONS):
        x, y = 10 + n % 6 * 210, 8 + n // 6 * 180
        d.text((x, y), name, font=font, fill=TEXT)
        states = ("normal2", "active", "disabled") if can_disable else ("normal2", "active")
        for row, state in enumerate(states):
            im = Image.open(os.path.join(RES, "%s_%s.png" % (name, state))).convert("RGBA")
            small = im.resize((24, 24), Image.LANCZOS)
            sheet.alpha_composite(small, (x + row * 30, y + 18))
            # the 24 px size magnified, to judge its pixels
            sheet.alpha_composite(small.resize((48, 48), Image.NEAREST), (x + row * 52, y + 48))
            sheet.alpha_composite(im, (x + row * 68, y + 102))
    # check boxes at 16 px, magnified, and their 32 px partners, each on the
    # background it is drawn on
    y = 370
    for n, (state, variant) in enumerate((s, v) for s in CHECK_STATES for v in CHECK_VARIANTS):
        x = 10 + n * 130
        d.text((x, y), state + variant, font=font, fill=TEXT)
        ground = ACCENT if variant == "_selected" else WHITE
        d.rectangle([x, y + 16, x + 119, y + 139], fill=ground + (255,))
        name = "checkbox_%s%s" % (state, variant)
        im = Image.open(os.path.join(RES, name + ".png")).convert("RGBA")
        im2 = Image.open(os.path.join(RES, name + "@2x.png")).convert("RGBA")
        sheet.alpha_composite(im, (x + 6, y + 22))
        sheet.alpha_composite(im2, (x + 30, y + 22))
        sheet.alpha_composite(im.resize((64, 64), Image.NEAREST), (x + 6, y + 62))
    d.rectangle([8, y + 14, 1180, y + 141], outline=BORDER_GREY + (255,))
    oy = 330
    y = 190 + oy
    sheet.alpha_composite(Image.open(os.path.join(RES, "app_name_320.png")).convert("RGBA"), (10, y))
    x = 350
    for s in (48, 64, 128):
        im = Image.open(os.path.join(RES, "desktop/icons/tarvik_%d.png" % s)).convert("RGBA")
        sheet.alpha_composite(im, (x, y))
        x += s + 10
    im = Image.open(os.path.join(RES, "desktop/icons/tarvik_256.png")).convert("RGBA")
    sheet.alpha_composite(im, (540, 330 + oy))
    gif = Image.open(os.path.join(RES, "loading_spinner.gif"))
    y = 340 + oy
    for n, i in enumerate(range(0, SPIN_FRAMES, 4)):
        gif.seek(i)
        fr = gif.convert("RGBA")
        sheet.alpha_composite(fr.resize((32, 32), Image.BOX), (10 + n * 44, y))
        sheet.alpha_composite(fr.resize((100, 100), Image.BOX), (10 + n * 104, y + 44))
    icons = ImageFont.truetype(os.path.join(RES, "fonts", "entypo.ttf"), 40)
    d.text((10, 500 + oy), "".join(chr(c) for c in range(0xE700, 0xE708)), font=icons, fill=TEXT)
    sheet.convert("RGB").save(path)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--sheet", metavar="PNG", help="also write a contact sheet of the results")
    args = ap.parse_args()
    written = []
    written += make_button_icons()
    written += make_checkboxes()
    written += make_row_marks()
    written += make_app_icons()
    written += make_logo()
    written += make_spinner()
    written += make_font()
    written += make_text_files()
    for p in written:
        print("%8d  %s" % (os.path.getsize(p), os.path.relpath(p, ROOT)))
    if args.sheet:
        contact_sheet(args.sheet)
        print("contact sheet: " + args.sheet)
    return 0


if __name__ == "__main__":
    sys.exit(main())
