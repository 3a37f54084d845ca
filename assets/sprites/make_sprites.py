#!/usr/bin/env python3
"""Draws the demo's sprite art into the text pixel maps test2.txt and boss.txt.

The text files are the art's source: the build turns them into sprite files
with `spritetool build`, and small touches can be made by editing them. This
program only made their first version; run it again (python3 make_sprites.py)
to start over from the shapes below, which overwrites any hand edits.

Colours are indices of the VGA default palette (tools/vga_palette.h).
"""
import math

# Five-step ramps, dark to light, for hue h of the VGA palette: dark, medium
# and bright full saturation, then bright at the two lower saturations.
def hue_ramp(h):
    return [176 + h, 104 + h, 32 + h, 56 + h, 80 + h]

GREY = [19, 22, 25, 28, 31]
OUTLINE = 16  # black, opaque

LIGHT = (-0.45, -0.65, 0.62)
_n = math.sqrt(sum(c * c for c in LIGHT))
LIGHT = tuple(c / _n for c in LIGHT)


def shade(ramp, nx, ny, nz, bias=0.0):
    d = nx * LIGHT[0] + ny * LIGHT[1] + nz * LIGHT[2] + bias
    step = int(round((d + 0.05) * 4.2))
    return ramp[max(0, min(4, step))]


class Layer:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.p = [[0] * w for _ in range(h)]

    def put(self, x, y, c):
        x, y = int(x), int(y)
        if 0 <= x < self.w and 0 <= y < self.h:
            self.p[y][x] = c

    def ellipse(self, cx, cy, rx, ry, ramp, bias=0.0):
        for y in range(int(cy - ry) - 1, int(cy + ry) + 2):
            for x in range(int(cx - rx) - 1, int(cx + rx) + 2):
                dx, dy = (x + 0.5 - cx) / rx, (y + 0.5 - cy) / ry
                r = dx * dx + dy * dy
                if r <= 1.0:
                    self.put(x, y, shade(ramp, dx, dy, math.sqrt(1 - r), bias))

    def box(self, x0, y0, x1, y1, ramp, bias=0.0):
        # Shaded as a horizontal cylinder: lit from the left.
        for y in range(int(y0), int(y1)):
            for x in range(int(x0), int(x1)):
                dx = (x + 0.5 - (x0 + x1) / 2) / ((x1 - x0) / 2)
                dx = max(-0.99, min(0.99, dx))
                dy = -0.25 if y < y0 + 2 else 0.0
                self.put(x, y, shade(ramp, dx * 0.9, dy, math.sqrt(1 - dx * dx * 0.81), bias))

    def polygon(self, points, ramp, bias=0.0, light_from=None):
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            yc = y + 0.5
            xs = []
            for i in range(len(points)):
                (x0, y0), (x1, y1) = points[i], points[(i + 1) % len(points)]
                if (y0 <= yc < y1) or (y1 <= yc < y0):
                    xs.append(x0 + (yc - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(int(round(a)), int(round(b))):
                    t = 0.0
                    if light_from:
                        lx, ly, reach = light_from
                        t = -math.hypot(x - lx, y - ly) / reach
                    self.put(x, y, shade(ramp, -0.2, -0.5, 0.6, bias + t))

    def line(self, x0, y0, x1, y1, c, width=1):
        n = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(n + 1):
            t = i / n
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            for oy in range(width):
                for ox in range(width):
                    self.put(x + ox - width // 2, y + oy - width // 2, c)

    def outline(self):
        add = []
        for y in range(self.h):
            for x in range(self.w):
                if self.p[y][x] == 0:
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                        xx, yy = x + dx, y + dy
                        if 0 <= xx < self.w and 0 <= yy < self.h and self.p[yy][xx] not in (0, OUTLINE):
                            add.append((x, y))
                            break
        for x, y in add:
            self.p[y][x] = OUTLINE
        return self

    def over(self, other):
        for y in range(self.h):
            for x in range(self.w):
                if other.p[y][x]:
                    self.p[y][x] = other.p[y][x]
        return self

    def bbox(self):
        xs = [x for y in range(self.h) for x in range(self.w) if self.p[y][x]]
        ys = [y for y in range(self.h) for x in range(self.w) if self.p[y][x]]
        return min(xs), min(ys), max(xs) + 1, max(ys) + 1

    def crop(self, x0, y0, x1, y1):
        out = Layer(x1 - x0, y1 - y0)
        out.p = [row[x0:x1] for row in self.p[y0:y1]]
        return out


# --- test2: a small dragon flapping its wings, six frames of 64 x 44 ---------
SCALES = hue_ramp(17)   # green
WINGS = hue_ramp(9)     # orange
BELLY = hue_ramp(12)    # yellow
HORN = GREY


def dragon(frame):
    w, h = 64, 44
    phase = 2 * math.pi * frame / 6
    lift = math.cos(phase)          # 1 wings up, -1 down
    bob = round(-1.5 * math.sin(phase))
    cy = 27 + bob

    def wing(base_x, reach, bias):
        layer = Layer(w, h)
        sx, sy = base_x, cy - 5
        tip = (sx - reach, cy - 4 - 17 * lift)
        mid = (sx - reach * 0.35, cy - 9 - 12 * lift)
        elbow = (sx - reach * 0.15, cy - 4 - 6 * lift)
        edge = [(sx + 6, sy + 1), (sx + 2, sy - 3), mid, tip,
                (sx - reach * 0.75, cy - 1 - 8 * lift), (sx - reach * 0.5, cy + 1 - 4 * lift),
                (sx - reach * 0.25, cy + 2 - 2 * lift), (sx - 2, sy + 4)]
        layer.polygon(edge, WINGS, bias, light_from=(sx, sy, reach * 2.2))
        for f in (0.75, 0.5, 0.25):  # the wing's finger bones
            layer.line(mid[0], mid[1], sx - reach * f, cy + 1 - 6 * lift * f, WINGS[0])
        layer.line(sx, sy, mid[0], mid[1], WINGS[1], 2)
        layer.line(mid[0], mid[1], tip[0], tip[1], WINGS[1])
        del elbow
        return layer.outline()

    canvas = Layer(w, h)
    canvas.over(wing(34, 22, -0.35))                      # far wing, in shadow

    body = Layer(w, h)
    for i, r in enumerate((4.5, 3.8, 3.0, 2.3, 1.7)):     # tail, curling with the flight
        tx = 20 - i * 4
        ty = cy + 1 - i * 1.2 + 2 * math.sin(phase + i * 0.8)
        body.ellipse(tx, ty, r + 0.8, r, SCALES)
    body.polygon([(5, cy - 3 + 2 * math.sin(phase + 4)), (1, cy - 6 + 2 * math.sin(phase + 4)),
                  (2, cy + 1 + 2 * math.sin(phase + 4))], WINGS, 0.2)   # tail fin
    body.ellipse(30, cy, 13, 8, SCALES)
    body.ellipse(31, cy + 3, 10, 4.5, BELLY, 0.1)
    for lx in (26, 35):                                    # legs tucked under
        body.ellipse(lx, cy + 8, 3, 3.5, SCALES, -0.1)
        body.put(lx - 2, cy + 11, HORN[3]), body.put(lx, cy + 12, HORN[3]), body.put(lx + 2, cy + 11, HORN[3])
    body.ellipse(42, cy - 5, 4.5, 5.5, SCALES)             # neck
    body.ellipse(48, cy - 10, 7, 6.5, SCALES)              # head
    body.ellipse(55, cy - 8, 5.5, 3.5, SCALES, 0.1)        # snout
    body.ellipse(55, cy - 6.5, 4.5, 1.5, BELLY)            # jaw
    body.polygon([(44, cy - 14), (40, cy - 20), (47, cy - 15)], HORN, 0.2)
    body.polygon([(48, cy - 15), (46, cy - 22), (51, cy - 15)], HORN, 0.3)
    for sx in (22, 27, 32, 37):                            # spines along the back
        body.polygon([(sx - 2, cy - 7), (sx - 1, cy - 11), (sx + 2, cy - 7)], WINGS, 0.1)
    body.put(50, cy - 12, 31), body.put(51, cy - 12, 31), body.put(50, cy - 11, 31), body.put(51, cy - 11, OUTLINE)
    body.put(59, cy - 9, OUTLINE)                          # nostril
    canvas.over(body.outline())
    canvas.over(wing(30, 26, 0.05))                        # near wing
    return canvas


# --- boss: a large armoured knight in eight layers ----------------------------
STEEL = GREY
GOLD = hue_ramp(11)
CAPE = hue_ramp(8)     # red
GLOW = [32 + 20, 56 + 20, 80 + 20, 80 + 20, 31]
BOSS_W, BOSS_H = 150, 160


def boss_parts():
    L = lambda: Layer(BOSS_W, BOSS_H)
    parts = {}

    cape = L()                                             # 7: the cape behind everything
    cape.polygon([(52, 44), (98, 44), (112, 128), (100, 136), (88, 130), (75, 138), (62, 130),
                  (50, 136), (38, 128)], CAPE, -0.1, light_from=(60, 44, 140))
    for x in (58, 75, 92):
        cape.line(x, 60, x + (x - 75) * 0.3, 128, CAPE[0])
    parts[7] = cape.outline()

    legs = L()                                             # 6: legs and boots
    for x0 in (58, 78):
        legs.box(x0, 96, x0 + 14, 128, STEEL)
        legs.ellipse(x0 + 7, 110, 8, 5, STEEL, 0.1)        # knee guard
        legs.box(x0 - 3, 128, x0 + 17, 140, STEEL, -0.15)
        legs.box(x0 - 3, 138, x0 + 17, 142, GOLD)
    parts[6] = legs.outline()

    torso = L()                                            # 0: the chest, base of the figure
    torso.polygon([(52, 48), (98, 48), (94, 88), (56, 88)], STEEL, 0.0, light_from=(60, 48, 90))
    torso.ellipse(75, 62, 20, 14, STEEL, 0.1)
    torso.box(56, 86, 94, 94, GOLD)                        # belt
    torso.ellipse(75, 90, 5, 5, GOLD, 0.2)
    torso.polygon([(58, 94), (92, 94), (90, 102), (60, 102)], STEEL, -0.1)
    torso.line(75, 50, 75, 84, STEEL[1])
    torso.ellipse(75, 66, 6, 7, CAPE, 0.1)                 # crest on the chest
    parts[0] = torso.outline()

    def head(open_visor):
        head = L()
        head.ellipse(75, 36, 13, 14, STEEL)
        head.box(63, 36, 87, 48, STEEL, -0.05)
        head.polygon([(64, 28), (48, 16), (54, 30)], GOLD, 0.2)    # horns
        head.polygon([(86, 28), (102, 16), (96, 30)], GOLD, 0.1)
        if open_visor:
            head.box(66, 36, 84, 46, [OUTLINE] * 5)
            head.box(68, 37, 82, 45, CAPE, -0.3)                    # the face in shadow
            head.ellipse(71, 39, 2, 1.5, GLOW), head.ellipse(79, 39, 2, 1.5, GLOW)
        else:
            head.line(65, 38, 85, 38, OUTLINE, 2)                   # eye slit
            head.line(69, 38, 72, 38, GLOW[2], 1), head.line(78, 38, 81, 38, GLOW[2], 1)
            for x in range(68, 83, 3):
                head.line(x, 42, x, 46, STEEL[0])
        head.ellipse(75, 22, 3, 4, CAPE, 0.2)                       # plume
        return head.outline()
    parts[2], parts[3] = head(False), head(True)

    shield = L()                                           # 4: the shield arm, on the left
    shield.ellipse(48, 52, 9, 8, STEEL, 0.15)              # shoulder plate
    shield.box(40, 56, 52, 80, STEEL)
    shield.polygon([(24, 62), (50, 62), (50, 92), (37, 104), (24, 92)], GOLD, 0.0, light_from=(26, 62, 60))
    shield.polygon([(28, 66), (46, 66), (46, 90), (37, 99), (28, 90)], CAPE, 0.1)
    shield.line(37, 68, 37, 96, GOLD[3], 2), shield.line(30, 78, 44, 78, GOLD[3], 2)
    parts[4] = shield.outline()

    def sword_arm(raised):
        arm = L()
        arm.ellipse(102, 52, 9, 8, STEEL, 0.15)
        if raised:
            arm.box(100, 30, 112, 56, STEEL)
            arm.ellipse(106, 28, 6, 5, STEEL)              # gauntlet
            arm.line(106, 26, 130, 2, STEEL[4], 3)         # blade
            arm.line(100, 32, 114, 22, GOLD[2], 3)         # guard
        else:
            arm.box(98, 56, 110, 84, STEEL)
            arm.ellipse(104, 86, 6, 5, STEEL)
            arm.line(104, 90, 126, 136, STEEL[4], 3)       # blade, pointing down
            arm.line(96, 90, 112, 84, GOLD[2], 3)
        return arm.outline()
    parts[1], parts[5] = sword_arm(False), sword_arm(True)
    return parts


def write(path, legend, frames, header):
    chars = {v: c for c, v in legend}
    with open(path, "w") as out:
        out.write(header)
        out.write("legend " + " ".join(f"{c}={v}" for c, v in legend) + "\n")
        for number, (layer, ox, oy) in enumerate(frames):
            out.write(f"\nframe {number} offset {ox} {oy}\n")
            for row in layer.p:
                out.write("".join(chars[v] for v in row) + "\n")


def legend_for(ramps, extra):
    legend = [(".", 0), ("@", OUTLINE)] + extra
    letters = iter("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ")
    for ramp in ramps:
        for v in ramp:
            if v not in [e[1] for e in legend]:
                legend.append((next(letters), v))
    return legend


def main():
    head = ("# Generated by make_sprites.py, then kept as the source: edit the rows and\n"
            "# rebuild. Legend characters stand for VGA palette indices, '.' transparent.\n")
    dragons = [(dragon(i), 0, 0) for i in range(6)]
    write("test2.txt", legend_for([SCALES, WINGS, BELLY, HORN], [("W", 31)]), dragons,
          head + "# test2: a dragon's wing-beat, six frames.\n")

    parts = boss_parts()
    bx0, by0, _, _ = parts[0].bbox()
    frames = []
    for i in range(8):
        x0, y0, x1, y1 = parts[i].bbox()
        frames.append((parts[i].crop(x0, y0, x1, y1), x0 - bx0, y0 - by0))
    write("boss.txt", legend_for([STEEL, GOLD, CAPE, GLOW], []), frames,
          head + "# boss: a knight in layers drawn 7, 6, 0, 2, 4, 1 (0 the chest at the origin,\n"
                 "# 7 cape, 6 legs, 2 head, 4 shield arm, 1 sword arm); 3 and 5 are the open\n"
                 "# visor and the raised sword, drawn instead of 2 and 1 when wanted.\n")


if __name__ == "__main__":
    main()
