#!/usr/bin/python3
"""Draws Zephra Player's skin: the window background and the pictures of the image buttons.

Run from anywhere with Debian's python3 and python3-pil:  /usr/bin/python3 skin/make_skin.py
The pictures are written beside this script; they are committed, so the build needs no Python.

Transparency: a BMP is drawn with the colour of its bottom-left pixel left out. Every BMP here
has KEY (pure magenta, used nowhere else) in that pixel. The background uses KEY for the areas
where the window's black must show; each button is drawn over the piece of background it
covers, so its edges blend with what lies behind it and only the key pixel is left out.
"""

import os

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONTS = "/usr/share/fonts/truetype/dejavu/"
KEY = (255, 0, 255)
SS = 4  # supersampling factor for smooth edges

WIDTH, HEIGHT = 718, 557
VIEW = (8, 61, 703, 428)  # left, top, width, height of the two views
STRIP_COLOUR = (37, 37, 37)  # the check box's own background colour
SLOT_COLOUR = (6, 6, 6)  # the volume bar's background brush
ACCENT = (0, 172, 255)
ACCENT_SOFT = (0, 110, 170)

# Control rectangles on the window (left, top, width, height).
TAB_CHANNELS = (26, 29, 100, 34)
TAB_PLAYER = (132, 29, 99, 32)
PLAY = (328, 494, 55, 57)
STOP = (384, 510, 28, 26)
SOUND = (412, 510, 30, 26)
FULL = (196, 509, 119, 30)
SPEAKER = (654, 499, 27, 24)
VOLUME = (623, 527, 86, 17)
CHECK_BOX = (595, 41, 114, 14)


def font(name, size):
    return ImageFont.truetype(os.path.join(FONTS, name), size)


def vertical_gradient(draw, box, top, bottom):
    x0, y0, x1, y1 = box
    span = max(1, y1 - y0)
    for y in range(y0, y1):
        t = (y - y0) / span
        colour = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        draw.line([(x0, y), (x1 - 1, y)], fill=colour)


def scaled(box):
    return [v * SS for v in box]


# --- background ------------------------------------------------------------------------------

def draw_background():
    """Returns the background as the window shows it (black where the window shows through)."""
    big = Image.new("RGB", (WIDTH * SS, HEIGHT * SS), (0, 0, 0))
    d = ImageDraw.Draw(big)

    # Body: a rounded slab, dark metal.
    d.rounded_rectangle(scaled((0, 0, WIDTH - 1, HEIGHT - 1)), radius=12 * SS, fill=(22, 22, 22))
    # Header band with a soft gradient.
    header = Image.new("RGB", (WIDTH * SS, 22 * SS))
    vertical_gradient(ImageDraw.Draw(header), (0, 0, WIDTH * SS, 22 * SS), (44, 44, 46), (26, 26, 28))
    mask = Image.new("L", big.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle(scaled((0, 0, WIDTH - 1, HEIGHT - 1)), radius=12 * SS,
                                           fill=255)
    big.paste(header, (0, 0), mask.crop((0, 0, WIDTH * SS, 22 * SS)))

    # Tab strip behind the two tab buttons and the check box.
    d.rectangle(scaled((4, 22, WIDTH - 5, VIEW[1] - 1)), fill=STRIP_COLOUR)
    d.line(scaled((4, 22, WIDTH - 5, 22)), fill=(58, 58, 60), width=SS)

    # Control panel at the bottom, a little lighter at its top edge.
    panel_top = VIEW[1] + VIEW[3] + 3
    panel = Image.new("RGB", (WIDTH * SS, (HEIGHT - panel_top) * SS))
    vertical_gradient(ImageDraw.Draw(panel), (0, 0, panel.width, panel.height), (42, 42, 44),
                      (12, 12, 13))
    big.paste(panel, (0, panel_top * SS), mask.crop((0, panel_top * SS, WIDTH * SS, HEIGHT * SS)))
    d.line(scaled((10, panel_top, WIDTH - 11, panel_top)), fill=(70, 70, 72), width=SS)

    # Frame around the views: a light outer edge and a dark inner bevel; inside is the window.
    vx, vy, vw, vh = VIEW
    d.rectangle(scaled((vx - 3, vy - 1, vx + vw + 2, vy + vh + 2)), fill=(64, 64, 66))
    d.rectangle(scaled((vx - 2, vy - 1, vx + vw + 1, vy + vh + 1)), fill=(10, 10, 10))
    d.rectangle(scaled((vx, vy, vx + vw - 1, vy + vh - 1)), fill=(0, 0, 0))

    # Recess behind the play button and a slot behind the volume bar.
    px, py, pw, ph = PLAY
    cx, cy = px + pw / 2, py + ph / 2
    d.ellipse(scaled((cx - 31, cy - 31, cx + 31, cy + 31)), fill=(8, 8, 9))
    d.ellipse(scaled((cx - 30, cy - 30, cx + 30, cy + 30)), fill=(18, 18, 19))
    gx, gy, gw, gh = VOLUME
    d.rounded_rectangle(scaled((gx - 3, gy - 3, gx + gw + 2, gy + gh + 2)), radius=5 * SS,
                        fill=(50, 50, 52))
    d.rounded_rectangle(scaled((gx - 2, gy - 2, gx + gw + 1, gy + gh + 1)), radius=4 * SS,
                        fill=SLOT_COLOUR)

    image = big.resize((WIDTH, HEIGHT), Image.LANCZOS)
    d = ImageDraw.Draw(image)
    # Texts are drawn at full size: the font renderer smooths them itself.
    d.text((14, 4), "ZEPHRA", font=font("DejaVuSans-Bold.ttf", 12), fill=ACCENT)
    d.text((72, 4), "PLAYER", font=font("DejaVuSans.ttf", 12), fill=(170, 170, 170))
    # The views cover the inside of the frame; keep it exactly black there.
    d.rectangle((vx, vy, vx + vw - 1, vy + vh - 1), fill=(0, 0, 0))
    return image


def keyed(image):
    """Pure black becomes the key colour, so the window's own black shows there."""
    out = image.copy()
    pixels = out.load()
    for y in range(out.height):
        for x in range(out.width):
            if pixels[x, y] == (0, 0, 0):
                pixels[x, y] = KEY
    assert out.getpixel((0, out.height - 1)) == KEY, "bottom-left pixel must be the key"
    return out


# --- buttons ---------------------------------------------------------------------------------

class Canvas:
    """A supersampled drawing surface over the piece of background that a control covers."""

    def __init__(self, background, rect):
        x, y, w, h = rect
        self.w, self.h = w, h
        self.image = background.crop((x, y, x + w, y + h)).resize((w * SS, h * SS), Image.NEAREST)
        self.draw = ImageDraw.Draw(self.image)

    def box(self, x0, y0, x1, y1):
        return [x0 * SS, y0 * SS, x1 * SS, y1 * SS]

    def poly(self, points):
        return [(x * SS, y * SS) for x, y in points]

    def finish(self):
        return self.image.resize((self.w, self.h), Image.BOX)


def save_bmp(image, name):
    image = image.convert("RGB")
    image.putpixel((0, image.height - 1), KEY)
    image.save(os.path.join(HERE, name), "BMP")


def tab(background, rect, label, lit):
    c = Canvas(background, rect)
    w, h = c.w, c.h
    face = (58, 58, 60) if lit else (44, 44, 46)
    c.draw.rounded_rectangle(c.box(1, 3, w - 2, h + 8), radius=7 * SS, fill=(70, 70, 72) if lit else (54, 54, 56))
    c.draw.rounded_rectangle(c.box(2, 4, w - 3, h + 8), radius=6 * SS, fill=face)
    if lit:
        c.draw.rectangle(c.box(8, h - 4, w - 9, h - 2), fill=ACCENT)
    image = c.finish()
    d = ImageDraw.Draw(image)
    f = font("DejaVuSans-Bold.ttf", 12)
    tw = d.textlength(label, font=f)
    d.text(((w - tw) / 2, 10), label, font=f, fill=(255, 255, 255) if lit else (165, 165, 165))
    return image


def round_button(background, rect, icon, lit):
    c = Canvas(background, rect)
    w, h = c.w, c.h
    cx, cy, r = w / 2, h / 2, min(w, h) / 2 - 1.5
    ring = ACCENT if lit else (80, 80, 84)
    c.draw.ellipse(c.box(cx - r, cy - r, cx + r, cy + r), fill=ring)
    r2 = r - 2.5
    c.draw.ellipse(c.box(cx - r2, cy - r2, cx + r2, cy + r2), fill=(50, 52, 56) if lit else (34, 34, 36))
    r3 = r2 - 3
    c.draw.ellipse(c.box(cx - r3, cy - r3, cx + r3, cy - r3 + r3 * 1.1), fill=(62, 64, 70) if lit else (44, 44, 47))
    glyph = (255, 255, 255) if lit else (190, 190, 190)
    if icon == "play":
        c.draw.polygon(c.poly([(cx - 7, cy - 11), (cx - 7, cy + 11), (cx + 12, cy)]), fill=glyph)
    else:
        c.draw.rectangle(c.box(cx - 9, cy - 10, cx - 3, cy + 10), fill=glyph)
        c.draw.rectangle(c.box(cx + 3, cy - 10, cx + 9, cy + 10), fill=glyph)
    return c.finish()


def small_face(c, lit):
    w, h = c.w, c.h
    c.draw.rounded_rectangle(c.box(1, 1, w - 1, h - 1), radius=5 * SS, fill=ACCENT if lit else (74, 74, 78))
    c.draw.rounded_rectangle(c.box(2, 2, w - 2, h - 2), radius=4 * SS, fill=(48, 50, 54) if lit else (34, 34, 36))


def stop_button(background, lit):
    c = Canvas(background, STOP)
    small_face(c, lit)
    cx, cy = c.w / 2, c.h / 2
    c.draw.rectangle(c.box(cx - 5, cy - 5, cx + 5, cy + 5), fill=(255, 255, 255) if lit else (190, 190, 190))
    return c.finish()


def speaker(c, x, y, scale, colour):
    """A speaker body with its cone; (x, y) is the left of its centre line."""
    s = scale
    c.draw.rectangle(c.box(x, y - 3 * s, x + 4 * s, y + 3 * s), fill=colour)
    c.draw.polygon(c.poly([(x + 3 * s, y - 3 * s), (x + 9 * s, y - 8 * s), (x + 9 * s, y + 8 * s),
                           (x + 3 * s, y + 3 * s)]), fill=colour)


def waves(c, x, y, colour, count=2):
    for i in range(count):
        r = 4 + 4 * i
        c.draw.arc(c.box(x - r, y - r, x + r, y + r), start=-50, end=50, fill=colour, width=int(1.6 * SS))


def sound_button(background, state):
    """state: 'off' (sound on, speaker with waves), 'on' (muted), 'hover' (highlighted)."""
    c = Canvas(background, SOUND)
    small_face(c, state == "hover")
    cx, cy = c.w / 2, c.h / 2
    if state == "off":
        speaker(c, cx - 9, cy, 1, (200, 200, 200))
        waves(c, cx + 1, cy, (200, 200, 200))
    elif state == "on":
        speaker(c, cx - 9, cy, 1, (150, 150, 150))
        red = (235, 60, 60)
        c.draw.line(c.box(cx + 3, cy - 5, cx + 11, cy + 5), fill=red, width=int(2 * SS))
        c.draw.line(c.box(cx + 3, cy + 5, cx + 11, cy - 5), fill=red, width=int(2 * SS))
    else:
        speaker(c, cx - 9, cy, 1, (255, 255, 255))
        waves(c, cx + 1, cy, ACCENT)
    return c.finish()


def full_button(background, lit):
    c = Canvas(background, FULL)
    w, h = c.w, c.h
    c.draw.rounded_rectangle(c.box(1, 1, w - 1, h - 1), radius=(h / 2 - 1) * SS, fill=ACCENT if lit else (74, 74, 78))
    c.draw.rounded_rectangle(c.box(2, 2, w - 2, h - 2), radius=(h / 2 - 2) * SS, fill=(48, 50, 54) if lit else (34, 34, 36))
    glyph = (255, 255, 255) if lit else (190, 190, 190)
    # Four corner marks: the picture growing to the screen's edges.
    x0, y0, x1, y1 = 12, 8, 28, 22
    t = int(2 * SS)
    for (ax, ay, dx, dy) in [(x0, y0, 1, 1), (x1, y0, -1, 1), (x0, y1, 1, -1), (x1, y1, -1, -1)]:
        c.draw.line(c.box(ax, ay, ax + 5 * dx, ay), fill=glyph, width=t)
        c.draw.line(c.box(ax, ay, ax, ay + 4 * dy), fill=glyph, width=t)
    image = c.finish()
    d = ImageDraw.Draw(image)
    d.text((36, 7), "Full Screen", font=font("DejaVuSans-Bold.ttf", 11), fill=glyph)
    return image


def speaker_picture(background):
    c = Canvas(background, SPEAKER)
    cx, cy = c.w / 2, c.h / 2
    speaker(c, cx - 10, cy, 1, (150, 150, 155))
    waves(c, cx, cy, (110, 110, 115), count=2)
    return c.finish()


def main():
    background = draw_background()
    keyed(background).save(os.path.join(HERE, "background.bmp"), "BMP")

    save_bmp(tab(background, TAB_CHANNELS, "Channels", False), "btChanOff.bmp")
    save_bmp(tab(background, TAB_CHANNELS, "Channels", True), "btChanOn.bmp")
    save_bmp(tab(background, TAB_PLAYER, "Player", False), "btPlayerOff.bmp")
    save_bmp(tab(background, TAB_PLAYER, "Player", True), "btPlayerOn.bmp")
    save_bmp(round_button(background, PLAY, "play", False), "btPlayOff.bmp")
    save_bmp(round_button(background, PLAY, "play", True), "btPlayOn.bmp")
    save_bmp(round_button(background, PLAY, "pause", False), "btPauseOff.bmp")
    save_bmp(round_button(background, PLAY, "pause", True), "btPauseOn.bmp")
    save_bmp(full_button(background, False), "btFullOff.bmp")
    save_bmp(full_button(background, True), "btFullOn.bmp")
    save_bmp(stop_button(background, False), "btStopOff.bmp")
    save_bmp(stop_button(background, True), "btStopOn.bmp")
    save_bmp(sound_button(background, "off"), "btSoundOff.bmp")
    save_bmp(sound_button(background, "on"), "btSoundOn.bmp")
    save_bmp(sound_button(background, "hover"), "btSoundHover.bmp")
    speaker_picture(background).save(os.path.join(HERE, "sound.jpg"), "JPEG", quality=95)


if __name__ == "__main__":
    main()
