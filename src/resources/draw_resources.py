#!/usr/bin/python3
"""Draws the skin, buttons, icons and cursors of Framelark and writes the message table.

Run from anywhere: the files land in src/resources/images/. The outputs are committed, so a
Windows build needs neither this script nor Python. Needs python3-pil and fonts-dejavu-core.

The skin, its buttons and the About banner are drawn for 100, 150 and 200 % (96, 144 and 192 dpi):
the larger sets go to images/150/ and images/200/ under resource numbers 1000 and 2000 higher,
listed in images/scaled_bitmaps.rc, which framelark.rc includes.
"""
import os
import struct

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "images")
S = 4  # supersampling of the face
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

FACE_W, FACE_H = 390, 146

# dpi, resource number offset and folder of each image set; the program picks one by the same table.
IMAGE_SETS = ((96, 0, ""), (144, 1000, "150"), (192, 2000, "200"))


def px(length, dpi):
    """A 96 dpi length at dpi, rounded half away from zero as the program's layout rounds it."""
    return (2 * length * dpi + 96) // 192

# Palette: graphite face, teal accent, record red.
TOP = (62, 70, 84)
BOTTOM = (30, 34, 42)
RIM_DARK = (10, 12, 15)
RIM_LIGHT = (104, 114, 132)
WELL = (20, 23, 29)
TEXT = (236, 240, 246)
MUTED = (138, 148, 166)
TEAL = (72, 201, 216)
RED = (229, 57, 53)
SYMBOL = (238, 241, 245)
DISABLED_SYMBOL = (100, 105, 114)


def font(size, bold=False):
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def gradient(width, height, top, bottom):
    img = Image.new("RGB", (width, height))
    px = img.load()
    for y in range(height):
        t = y / max(1, height - 1)
        c = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        for x in range(width):
            px[x, y] = c
    return img


def s(*values):
    return [round(v * S) for v in values]


def rounded_mask(size, box, radius):
    m = Image.new("L", size, 0)
    ImageDraw.Draw(m).rounded_rectangle(box, radius=radius, fill=255)
    return m


# ---------------------------------------------------------------- the face

BODY = (2, 2, 388, 144)
BODY_RADIUS = 22


def draw_skin():
    """The face at S times its size, without any button."""
    size = (FACE_W * S, FACE_H * S)
    img = Image.new("RGB", size, RIM_DARK)
    body = s(*BODY)
    img.paste(gradient(size[0], size[1], TOP, BOTTOM), (0, 0), rounded_mask(size, body, BODY_RADIUS * S))
    d = ImageDraw.Draw(img)
    d.rounded_rectangle(body, radius=BODY_RADIUS * S, outline=RIM_DARK, width=S)
    d.rounded_rectangle(s(3, 3, 387, 143), radius=(BODY_RADIUS - 1) * S, outline=RIM_LIGHT, width=S // 2)

    # Title: a viewfinder mark and the name.
    draw_logo(d, 24, 9, 14)
    d.text(s(43, 8), "Framelark", font=font(14 * S, True), fill=TEXT)
    d.text(s(131, 12), "screen recorder", font=font(9 * S), fill=MUTED)
    d.line(s(24, 30, 310, 30), fill=(44, 50, 60), width=S)
    d.line(s(24, 31, 310, 31), fill=(80, 89, 104), width=S // 2)

    # Recessed strip for the website button and the panel of the close and minimise buttons.
    inset(d, (22, 34, 210, 56), 4)
    inset(d, (319, 8, 360, 30), 5)

    # Transport well: Record, Stop and Play in a row, Pause below between Record and Stop.
    inset(d, (13, 55, 151, 132), 12)

    # Speaker grille between the clusters.
    for row in range(6):
        for col in range(5):
            cx, cy = 164 + col * 9 + (row % 2) * 4, 70 + row * 9
            d.ellipse(s(cx - 1.6, cy - 1.6, cx + 1.6, cy + 1.6), fill=(16, 18, 23))
            d.ellipse(s(cx - 1.6, cy + 0.8, cx + 1.6, cy + 1.8), fill=(70, 78, 92))

    # Option cluster panel and its labels.
    inset(d, (213, 57, 368, 114), 9)
    for text, cx in (("Options", 232), ("Video", 262), ("Audio", 290), ("About", 318), ("Help", 348)):
        label(d, text, cx, 101, font(8 * S))
    return img


def inset(d, box, radius):
    x0, y0, x1, y1 = box
    d.rounded_rectangle(s(x0, y0, x1, y1), radius=radius * S, fill=WELL)
    d.rounded_rectangle(s(x0, y0, x1, y1), radius=radius * S, outline=(8, 9, 12), width=S)
    d.line(s(x0 + radius, y1, x1 - radius, y1), fill=(84, 93, 110), width=S // 2)


def label(d, text, cx, y, fnt):
    w = d.textlength(text, font=fnt) / S
    d.text(s(cx - w / 2, y), text, font=fnt, fill=MUTED)


def draw_logo(d, x, y, size, scale=S):
    """Viewfinder brackets round a record dot."""
    def p(*v):
        return [round(a * scale) for a in v]
    k = size / 14
    w = max(1, round(1.6 * k * scale))
    for (ax, ay, bx, by, cx, cy) in ((0, 4, 0, 0, 4, 0), (10, 0, 14, 0, 14, 4),
                                     (0, 10, 0, 14, 4, 14), (10, 14, 14, 14, 14, 10)):
        d.line(p(x + ax * k, y + ay * k, x + bx * k, y + by * k), fill=TEAL, width=w)
        d.line(p(x + bx * k, y + by * k, x + cx * k, y + cy * k), fill=TEAL, width=w)
    d.ellipse(p(x + 3.6 * k, y + 3.6 * k, x + 10.4 * k, y + 10.4 * k), fill=RED)


def face_size(dpi):
    return px(FACE_W, dpi), px(FACE_H, dpi)


def mask_from_coverage(coverage, dpi):
    """Black keeps a pixel, white cuts it away; coverage is drawn at S times the face."""
    m = coverage.resize(face_size(dpi), Image.BOX)
    return m.point(lambda v: 0 if v >= 128 else 255)


def face_mask(dpi):
    m = Image.new("L", (FACE_W * S, FACE_H * S), 0)
    ImageDraw.Draw(m).rounded_rectangle(s(*BODY), radius=BODY_RADIUS * S, fill=255)
    # Only ever read for its shape: one bit a pixel.
    return mask_from_coverage(m, dpi).convert("1")


# ---------------------------------------------------------------- buttons

STATES = ("normal", "pressed", "hover", "disabled")


def round_button(d, cx, cy, state, symbol):
    r = 15.5
    off = 1 if state == "pressed" else 0
    d.ellipse(s(cx - r - 0.5, cy - r - 0.5, cx + r + 0.5, cy + r + 0.5), fill=(6, 7, 9))
    if state == "disabled":
        d.ellipse(s(cx - r + 1, cy - r + 1, cx + r - 1, cy + r - 1), fill=(52, 56, 63))
    else:
        top, bottom = {
            "normal": ((96, 106, 124), (38, 43, 52)),
            "hover": ((122, 134, 156), (52, 59, 71)),
            "pressed": ((26, 30, 37), (66, 74, 88)),
        }[state]
        # Two concentric discs give the domed look without a per-pixel gradient.
        d.ellipse(s(cx - r + 1, cy - r + 1, cx + r - 1, cy + r - 1), fill=top)
        d.ellipse(s(cx - r + 2, cy - r + 3, cx + r - 1, cy + r - 1), fill=bottom)
        d.ellipse(s(cx - r + 3, cy - r + 3.5, cx + r - 3, cy + r - 2.5),
                  fill=tuple((a + b) // 2 for a, b in zip(top, bottom)))
        if state in ("hover", "pressed"):
            d.ellipse(s(cx - r + 0.5, cy - r + 0.5, cx + r - 0.5, cy + r - 0.5), outline=TEAL, width=round(1.5 * S))
    colour = DISABLED_SYMBOL if state == "disabled" else SYMBOL
    x, y = cx + off, cy + off
    if symbol == "record":
        c = DISABLED_SYMBOL if state == "disabled" else ((255, 84, 78) if state == "hover" else RED)
        d.ellipse(s(x - 7, y - 7, x + 7, y + 7), fill=c)
        if state != "disabled":
            d.ellipse(s(x - 4, y - 5, x - 1, y - 2), fill=(255, 170, 165))
    elif symbol == "pause":
        d.rounded_rectangle(s(x - 6, y - 7, x - 2, y + 7), radius=S, fill=colour)
        d.rounded_rectangle(s(x + 2, y - 7, x + 6, y + 7), radius=S, fill=colour)
    elif symbol == "stop":
        d.rounded_rectangle(s(x - 6.5, y - 6.5, x + 6.5, y + 6.5), radius=S, fill=colour)
    elif symbol == "play":
        c = colour if state == "disabled" else (110, 226, 150)
        d.polygon(s(x - 4.5, y - 8, x - 4.5, y + 8, x + 8.5, y), fill=c)


def tile_button(d, box, state, icon):
    x0, y0, x1, y1 = box
    off = 1 if state == "pressed" else 0
    fill = {"normal": (46, 52, 62), "hover": (64, 73, 87), "pressed": (24, 28, 34)}[state]
    d.rounded_rectangle(s(x0 + 1, y0 + 1, x1 - 1, y1 - 1), radius=5 * S, fill=fill,
                        outline=TEAL if state != "normal" else (12, 14, 17), width=S)
    if state != "pressed":
        d.line(s(x0 + 5, y0 + 2, x1 - 5, y0 + 2), fill=(96, 106, 124), width=S // 2)
    colour = TEAL if state == "hover" else SYMBOL
    draw_icon(d, icon, (x0 + x1) / 2 + off, (y0 + y1) / 2 + off, colour)


def draw_icon(d, icon, cx, cy, c):
    w = round(1.8 * S)
    if icon == "options":  # sliders
        for i, (dx, knob) in enumerate(((-6, 3), (0, -4), (6, 1))):
            d.line(s(cx + dx, cy - 8, cx + dx, cy + 8), fill=c, width=w)
            d.rounded_rectangle(s(cx + dx - 2.5, cy + knob - 2, cx + dx + 2.5, cy + knob + 2), radius=S, fill=(24, 28, 34),
                                outline=c, width=w)
    elif icon == "video":  # camera
        d.rounded_rectangle(s(cx - 9, cy - 5, cx + 3, cy + 6), radius=2 * S, fill=c)
        d.polygon(s(cx + 3, cy - 0.5, cx + 9, cy - 5, cx + 9, cy + 6, cx + 3, cy + 1.5), fill=c)
        d.ellipse(s(cx - 6.5, cy - 2.5, cx - 3.5, cy + 0.5), fill=RED)
    elif icon == "audio":  # microphone
        d.rounded_rectangle(s(cx - 3.5, cy - 9, cx + 3.5, cy + 3), radius=3.5 * S, fill=c)
        d.arc(s(cx - 7, cy - 5, cx + 7, cy + 6), 0, 180, fill=c, width=w)
        d.line(s(cx, cy + 6, cx, cy + 9), fill=c, width=w)
        d.line(s(cx - 4, cy + 9, cx + 4, cy + 9), fill=c, width=w)
    elif icon == "about":
        d.ellipse(s(cx - 9, cy - 9, cx + 9, cy + 9), outline=c, width=w)
        d.ellipse(s(cx - 1.5, cy - 6.5, cx + 1.5, cy - 3.5), fill=c)
        d.rounded_rectangle(s(cx - 1.3, cy - 1.5, cx + 1.3, cy + 6), radius=S // 2, fill=c)
    elif icon == "help":
        d.ellipse(s(cx - 9, cy - 9, cx + 9, cy + 9), outline=c, width=w)
        d.text(s(cx - 4, cy - 8), "?", font=font(13 * S, True), fill=c)
    elif icon == "min":
        d.line(s(cx - 4, cy + 2, cx + 4, cy + 2), fill=c, width=2 * S)
    elif icon == "close":
        d.line(s(cx - 3.5, cy - 3.5, cx + 3.5, cy + 3.5), fill=c, width=2 * S)
        d.line(s(cx - 3.5, cy + 3.5, cx + 3.5, cy - 3.5), fill=c, width=2 * S)


def small_button(d, box, state, icon):
    x0, y0, x1, y1 = box
    off = 1 if state == "pressed" else 0
    hot = (200, 60, 56) if icon == "close" else (70, 80, 96)
    fill = {"normal": (44, 50, 60), "hover": hot, "pressed": (22, 25, 31)}[state]
    d.rounded_rectangle(s(x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5), radius=3 * S, fill=fill, outline=(8, 9, 12), width=S // 2)
    draw_icon(d, icon, (x0 + x1) / 2 + off, (y0 + y1) / 2 + off, TEXT if state != "normal" else (200, 206, 216))


def website_button(d, box, state):
    x0, y0, x1, y1 = box
    off = 1 if state == "pressed" else 0
    bg = {"normal": (15, 33, 37), "hover": (18, 46, 52), "pressed": (8, 20, 23)}[state]
    d.rectangle(s(x0, y0, x1, y1), fill=bg)
    fg = {"normal": (112, 212, 210), "hover": (178, 250, 246), "pressed": (92, 180, 178)}[state]
    fnt = font(10 * S)
    d.text(s(x0 + 6 + off, y0 + 2.5 + off), "framelark.example", font=fnt, fill=fg)
    if state == "hover":
        w = d.textlength("framelark.example", font=fnt) / S
        d.line(s(x0 + 6, y0 + 14.5, x0 + 6 + w, y0 + 14.5), fill=fg, width=S // 2)
    # An arrow that says "opens outside".
    ax, ay = x1 - 14 + off, y0 + 4 + off
    d.line(s(ax, ay + 9, ax + 9, ay), fill=fg, width=round(1.5 * S))
    d.line(s(ax + 3, ay, ax + 9, ay, ax + 9, ay + 6), fill=fg, width=round(1.5 * S))


# Id of each button's images: normal, pressed, hover, disabled, mask; with its box in the window.
BUTTONS = [
    ("website", (24, 36, 184, 18), (189, 191, 190, None, None)),
    ("min", (322, 11, 17, 16), (193, 195, 194, None, None)),
    ("close", (340, 11, 17, 16), (196, 198, 197, None, None)),
    ("record", (20, 60, 33, 67), (206, 209, 207, 210, 205)),
    ("pause", (53, 60, 33, 67), (212, 217, 216, 218, 211)),
    ("stop", (78, 59, 33, 44), (220, 222, 221, 223, 219)),
    ("play", (111, 59, 33, 44), (226, 228, 227, 229, 224)),
    ("options", (217, 62, 31, 35), (235, 237, 236, None, None)),
    ("video", (248, 62, 28, 35), (238, 240, 239, None, None)),
    ("audio", (276, 62, 28, 35), (241, 243, 242, None, None)),
    ("about", (304, 61, 28, 36), (246, 248, 247, None, None)),
    ("help", (332, 61, 32, 36), (249, 251, 250, None, None)),
]

# Centres of the round transport buttons in the window: Pause sits low, between Record and Stop.
ROUND = {"record": (36.5, 76.5), "pause": (69.5, 110.5), "stop": (94.5, 75.5), "play": (127.5, 75.5)}


def draw_button(d, name, box, state):
    x, y, w, h = box
    if name in ROUND:
        round_button(d, *ROUND[name], state, name)
    elif name == "website":
        website_button(d, (x, y, x + w, y + h), state)
    elif name in ("min", "close"):
        small_button(d, (x, y, x + w, y + h), state, name)
    else:
        tile_button(d, (x, y, x + w, y + h), state, name)


def round_mask(name, dpi):
    """Drawn over the whole face, so that it is cut out with the button's images."""
    cx, cy = ROUND[name]
    m = Image.new("L", (FACE_W * S, FACE_H * S), 0)
    ImageDraw.Draw(m).ellipse(s(cx - 16, cy - 16, cx + 16, cy + 16), fill=255)
    return mask_from_coverage(m, dpi).convert("RGB")


def crop_box(box, dpi):
    """The button's box at dpi; each of the four is scaled on its own, as the program places it."""
    x, y, w, h = (px(v, dpi) for v in box)
    return x, y, x + w, y + h


def save_bmp(img, number, name, folder=""):
    if img.mode != "1":
        img = img.convert("RGB")
    img.save(os.path.join(OUT, folder, f"{number}_{name}.bmp"))


# ---------------------------------------------------------------- icons and cursors

def shape_image(size, draw_shape, fill, outline, outline_px=1.0, k=8):
    """Draws a filled shape with an outline of outline_px pixels; returns RGBA at size."""
    big = size * k
    mask = Image.new("L", (big, big), 0)
    draw_shape(ImageDraw.Draw(mask), k)
    grown = mask.filter(ImageFilter.MaxFilter(2 * round(outline_px * k) + 1))
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    img.paste(Image.new("RGBA", (big, big), outline + (255,)), (0, 0), grown)
    img.paste(Image.new("RGBA", (big, big), fill + (255,)), (0, 0), mask)
    return img.resize((size, size), Image.LANCZOS)


def arrow(ox, oy, scale=1.0):
    pts = [(0, 0), (0, 15), (3.6, 11.6), (6.2, 17.4), (8.6, 16.4), (6.1, 10.8), (11, 10.8)]

    def draw(d, k):
        d.polygon([((ox + x * scale) * k, (oy + y * scale) * k) for x, y in pts], fill=255)
    return draw


def hand(ox, oy, scale=1.0):
    """A hand with the index finger up; its tip is at (ox, oy)."""
    def draw(d, k):
        def p(*v):
            out = []
            for i, a in enumerate(v):
                out.append(((ox if i % 2 == 0 else oy) + a * scale) * k)
            return out
        d.rounded_rectangle(p(-1.8, 0, 1.8, 11), radius=1.8 * scale * k, fill=255)          # index
        d.rounded_rectangle(p(1.2, 5.5, 4.6, 12), radius=1.6 * scale * k, fill=255)         # middle
        d.rounded_rectangle(p(4.0, 6.5, 7.4, 12.5), radius=1.6 * scale * k, fill=255)       # ring
        d.rounded_rectangle(p(6.8, 7.8, 9.8, 13), radius=1.5 * scale * k, fill=255)         # little
        d.polygon(p(-1.8, 9, -6.2, 6.2, -7.4, 7.6, -4.6, 12.8, -1.8, 15), fill=255)        # thumb
        d.rounded_rectangle(p(-3.6, 9, 9.8, 17), radius=3 * scale * k, fill=255)            # palm
        d.rectangle(p(-2.4, 15, 8.6, 19), fill=255)                                         # wrist
    return draw


def ring(cx, cy, r):
    def draw(d, k):
        d.ellipse([(cx - r) * k, (cy - r) * k, (cx + r) * k, (cy + r) * k], fill=255)
    return draw


def fold_lines(img, ox, oy, colour, k=8):
    """Finger separations drawn over a hand at 32 px."""
    big = img.resize((img.width * k, img.height * k), Image.NEAREST)
    d = ImageDraw.Draw(big)
    for x in (1.4, 4.2, 7.0):
        d.line([(ox + x) * k, (oy + 9.6) * k, (ox + x) * k, (oy + 12.4) * k], fill=colour + (255,), width=k)
    return big.resize(img.size, Image.LANCZOS)


def crosshair_pencil():
    img = Image.new("RGBA", (32 * 8, 32 * 8), (0, 0, 0, 0))
    k = 8
    d = ImageDraw.Draw(img)
    # White halo first so the black lines show on any screen.
    for width, colour in ((3, (255, 255, 255, 255)), (1, (0, 0, 0, 255))):
        w = width * k
        for a, b in (((16, 2), (16, 12)), ((16, 20), (16, 31)), ((2, 16), (12, 16)), ((20, 16), (31, 16))):
            d.line([a[0] * k + k // 2, a[1] * k + k // 2, b[0] * k + k // 2, b[1] * k + k // 2], fill=colour, width=w)
        d.rectangle([15.5 * k, 15.5 * k, 17.5 * k, 17.5 * k], fill=colour if width == 1 else colour)
    # Pencil in the upper right quadrant, its point towards the centre.
    body = [(20, 12), (28, 4), (31, 7), (23, 15)]
    d.polygon([(x * k, y * k) for x, y in [(19, 11), (29, 1), (32, 4), (24, 16), (17, 18)]], fill=(20, 20, 20, 255))
    d.polygon([(x * k, y * k) for x, y in body], fill=(250, 196, 40, 255))
    d.polygon([(x * k, y * k) for x, y in [(28, 4), (30, 2), (32.5, 4.5), (31, 7)]], fill=(236, 120, 140, 255))
    d.polygon([(x * k, y * k) for x, y in [(20, 12), (23, 15), (18.5, 16.5)]], fill=(235, 205, 160, 255))
    d.polygon([(x * k, y * k) for x, y in [(19.3, 14.2), (20.8, 15.7), (18.5, 16.5)]], fill=(30, 30, 30, 255))
    return img.resize((32, 32), Image.LANCZOS)


def folder(size):
    """An open folder for the buttons that browse for a file."""
    def draw(d, k):
        u = size / 16 * k
        d.rounded_rectangle([1 * u, 2.5 * u, 7 * u, 5.5 * u], radius=u, fill=255)   # tab
        d.rectangle([1 * u, 4 * u, 14 * u, 13.5 * u], fill=255)                    # back
    back = shape_image(size, draw, (232, 180, 60), (120, 80, 10))

    def front(d, k):
        u = size / 16 * k
        d.polygon([(3 * u, 7 * u), (15.5 * u, 7 * u), (13.5 * u, 13.5 * u), (1 * u, 13.5 * u)], fill=255)
    back.alpha_composite(shape_image(size, front, (250, 214, 110), (120, 80, 10)))
    return back


def app_icon(size, with_background=True):
    k = 8
    big = size * k
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    if with_background:
        d.rounded_rectangle([k * 0.5, k * 0.5, big - k * 0.5, big - k * 0.5], radius=big * 0.22, fill=(40, 46, 56, 255),
                            outline=(12, 14, 18, 255), width=k)
        margin = size * 0.18
    else:
        margin = size * 0.04
    draw_logo(d, margin * k, margin * k, (size - 2 * margin) * k, scale=1)
    return img.resize((size, size), Image.LANCZOS)


def dib_entry(img):
    """One icon or cursor image: 32-bit colours plus the AND mask, bottom-up."""
    w, h = img.size
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    px = img.load()
    colours = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            colours += bytes((b, g, r, a))
    stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if px[x, y][3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + colours + mask


def write_icon_file(path, images, hotspot=None):
    """Writes an .ico (hotspot None) or a .cur with the given hotspot."""
    kind = 1 if hotspot is None else 2
    data = [dib_entry(i) for i in images]
    out = bytearray(struct.pack("<HHH", 0, kind, len(images)))
    offset = 6 + 16 * len(images)
    for img, blob in zip(images, data):
        w, h = img.size
        if hotspot is None:
            a, b = 1, 32
        else:
            a, b = hotspot
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, a, b, len(blob), offset)
        offset += len(blob)
    for blob in data:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


# ---------------------------------------------------------------- message table

# (identifier, number, text). The numbers are in resource_ids.h too.
MESSAGES = [
    ("ID_TITLE_PAUSED", 0x1001, "Framelark - recording paused"),
    ("ID_ERR_CREATE_SOUND_FILE", 0x1002,
     "The temporary sound file cannot be created. The video is recorded without sound."),
    ("ID_ERR_ALLOC_COMPRESS_PARAMETERS_FORMAT", 0x1003,
     "There is not enough memory to keep the settings of the video compressor."),
    ("ID_ERR_TIMELAPSE_MINUS", 0x1004, "The capture interval cannot be negative."),
    ("ID_ERR_TIMELAPSE_TOO_BIG", 0x1005, "The capture interval cannot be longer than two hours (7200000 ms)."),
    ("ID_ERR_KEYFRAME_RANGE_FORMAT", 0x1006, "Key frames must come every 1 to 200 frames."),
    ("ID_ERR_PLAYBACKRATE_RANGE_FORMAT", 0x1007, "The playback rate must be between 1 and 200 frames per second."),
]


def write_message_table(path):
    entries = sorted(MESSAGES, key=lambda m: m[1])
    blocks = []  # runs of consecutive ids
    for _, number, text in entries:
        if blocks and blocks[-1][1] == number - 1:
            blocks[-1][1] = number
            blocks[-1][2].append(text)
        else:
            blocks.append([number, number, [text]])
    offset = 4 + 12 * len(blocks)
    head = bytearray(struct.pack("<I", len(blocks)))
    body = bytearray()
    for low, high, texts in blocks:
        head += struct.pack("<III", low, high, offset + len(body))
        for text in texts:
            raw = (text + "\r\n").encode("ascii") + b"\0"
            raw += b"\0" * (-(len(raw) + 4) % 4)
            body += struct.pack("<HH", len(raw) + 4, 0) + raw
    with open(path, "wb") as f:
        f.write(head + body)


# ---------------------------------------------------------------- about banner

BANNER_W, BANNER_H = 326, 72


def about_banner():
    """At S times its size."""
    w, h = BANNER_W, BANNER_H
    big = Image.new("RGB", (w * S, h * S))
    big.paste(gradient(w * S, h * S, (52, 60, 74), (24, 27, 34)))
    d = ImageDraw.Draw(big)
    draw_logo(d, 16, 16, 40)
    d.text(s(70, 12), "Framelark", font=font(24 * S, True), fill=TEXT)
    d.text(s(72, 44), "Screen recorder for Windows", font=font(10 * S), fill=MUTED)
    d.line(s(0, 70, w, 70), fill=TEAL, width=S)
    return big


def draw_scaled_bitmaps():
    """Every bitmap of the skin and the banner, once for each image set."""
    written = []

    def save(img, number, name, offset, folder):
        save_bmp(img, number + offset, name, folder)
        if folder:
            written.append((number + offset, f"images/{folder}/{number + offset}_{name}.bmp"))

    skin = draw_skin()
    banner = about_banner()
    for dpi, offset, folder in IMAGE_SETS:
        os.makedirs(os.path.join(OUT, folder), exist_ok=True)
        save(skin.resize(face_size(dpi), Image.LANCZOS), 188, "skin", offset, folder)
        save(face_mask(dpi), 263, "skin_mask", offset, folder)
        save(banner.resize((px(BANNER_W, dpi), px(BANNER_H, dpi)), Image.LANCZOS), 264, "about_banner", offset,
             folder)

    for name, box, ids in BUTTONS:
        for state, number in zip(STATES, ids):
            if number is None:
                continue
            face = skin.copy()
            draw_button(ImageDraw.Draw(face), name, box, state)
            for dpi, offset, folder in IMAGE_SETS:
                small = face.resize(face_size(dpi), Image.LANCZOS)
                save(small.crop(crop_box(box, dpi)), number, f"{name}_{state}", offset, folder)
        if ids[4] is not None:
            for dpi, offset, folder in IMAGE_SETS:
                save(round_mask(name, dpi).crop(crop_box(box, dpi)), ids[4], f"{name}_mask", offset, folder)

    with open(os.path.join(OUT, "scaled_bitmaps.rc"), "w") as f:
        f.write("// The skin, its buttons and the About banner at 150 and 200 %. Written by draw_resources.py.\n")
        for number, path in sorted(written):
            f.write(f'{number} BITMAP "{path}"\n')


def main():
    os.makedirs(OUT, exist_ok=True)
    draw_scaled_bitmaps()

    write_icon_file(os.path.join(OUT, "128_framelark.ico"), [app_icon(n) for n in (48, 32, 16)])
    app_icon(256).save(os.path.join(OUT, "framelark_256.png"))  # the Linux desktop entry's icon
    write_icon_file(os.path.join(OUT, "262_tray.ico"), [app_icon(n, False) for n in (32, 16)])
    write_icon_file(os.path.join(OUT, "130_region_cursor.ico"), [crosshair_pencil()])

    white, black = (255, 255, 255), (0, 0, 0)
    slate, red = (32, 36, 43), (232, 62, 52)
    # Skin cursor: slate arrow with a light edge, readable on the dark face.
    write_icon_file(os.path.join(OUT, "1023_skin.cur"),
                    [shape_image(32, arrow(1, 1, 1.15), slate, (240, 244, 248))], hotspot=(1, 1))
    hand_over = shape_image(32, hand(11, 1, 1.5), (200, 244, 246), slate)
    write_icon_file(os.path.join(OUT, "1024_button.cur"), [fold_lines(hand_over, 11, 1, slate)], hotspot=(11, 1))
    hand_link = shape_image(32, hand(11, 1, 1.5), white, black)
    write_icon_file(os.path.join(OUT, "259_link.cur"), [fold_lines(hand_link, 11, 1, black)], hotspot=(11, 1))

    # Recording cursors: icons, so their hot spot is the centre; each points at (16, 16).
    recording = {
        177: ("hand1", shape_image(32, hand(16, 16, 0.78), white, black)),
        178: ("hand2", shape_image(32, hand(16, 16, 0.78), (255, 214, 120), (90, 50, 10))),
        179: ("arrow1", shape_image(32, arrow(16, 16, 0.95), white, black)),
        180: ("arrow2", shape_image(32, arrow(16, 16, 0.95), red, white)),
        181: ("point1", shape_image(32, ring(16.5, 16.5, 5), red, white, 1.5)),
        182: ("point2", shape_image(32, ring(16.5, 16.5, 8), (250, 204, 21), (60, 40, 0), 1.2)),
    }
    for number, (name, img) in recording.items():
        write_icon_file(os.path.join(OUT, f"{number}_{name}.ico"), [img])

    write_icon_file(os.path.join(OUT, "173_folder.ico"), [folder(16), folder(32)])
    write_message_table(os.path.join(OUT, "messages.bin"))


if __name__ == "__main__":
    main()
