#!/usr/bin/env python3
"""Chart of a render_bench run as a self-contained SVG: ns per covered pixel
for every drawer (its fastest repetition), grouped by family and frame
source, and beside it how many times faster ours is than the fastest peer
doing the same work.

  render_bench --benchmark_repetitions=5 --benchmark_out=run.json
  plot_render_bench.py run.json render_bench.svg

Several runs' files may be given (run1.json run2.json ... render_bench.svg):
each drawer is then shown at its fastest over all of them (see ratios.py).
With --zoom first, the chart is of the scaled families and the translucent
box instead:

  plot_render_bench.py --zoom run.json render_bench_zoom.svg
"""
import math
import sys

from ratios import best_of

DRAWERS = [  # order and colour of the bars
    ("ours", "#2b7bba", "ours"),
    ("sdl_key", "#e08a1e", "SDL2 (key / plain)"),
    ("sdl", "#e08a1e", None),
    ("sdl_key_rle", "#f2c14e", "SDL2 key + RLE"),
    ("allegro", "#7a9a3a", "Allegro 4"),
    ("allegro_2step", "#b5cf6b", "Allegro 4, stretch then blend"),
    ("memcpy", "#888888", "memcpy"),
]
FAMILIES = ["copy", "mirror_x", "mirror_y", "mirror_xy", "solid", "blend", "rle_copy", "rle_blend",
            "turn_left", "turn_right", "opaque", "opaque_mirror_y"]
ZOOM_FAMILIES = [f"zoom{p}_{rle}{e}" for p in (50, 150, 200) for e in ("copy", "blend", "solid")
                 for rle in ("", "rle_")] + ["box_blend"]
AIM = 2.0
MEMCPY_AIM = 1.3  # the opaque copies: at most this many times memcpy's time


def main():
    args = sys.argv[1:]
    zoom = bool(args) and args[0] == "--zoom"
    if zoom:
        args = args[1:]
    if len(args) < 2:
        sys.exit(__doc__)
    inputs, output = args[:-1], args[-1]
    ns = {k: v * 1e9 for k, v in best_of(inputs, lambda run: run.get("per_px")).items()}
    groups = []  # (label, bars, speed-up over the fastest peer, note)
    for family in ZOOM_FAMILIES if zoom else FAMILIES:
        # The peers have no run-length forms: theirs draw the raw frames.
        peers_of = "opaque" if family.startswith("opaque") else family.replace("_rle_", "_")
        for source in ("test2", "synthetic", "test.bmp", "150x30"):
            ours = ns.get(f"{family}/ours/{source}")
            if ours is None:
                continue
            bars = [("ours", "#2b7bba", ours)]
            bars += [(d, c, ns[f"{peers_of}/{d}/{source}"]) for d, c, _ in DRAWERS[1:]
                     if f"{peers_of}/{d}/{source}" in ns]
            peers = [v for d, _, v in bars[1:] if d != "memcpy"]
            speedup = min(peers) / ours if peers else None
            note, met = "", speedup is not None and speedup >= AIM
            if f"{peers_of}/memcpy/{source}" in ns:
                of_memcpy = ours / ns[f"{peers_of}/memcpy/{source}"]
                note, met = f"; {of_memcpy:.2f}x memcpy's time (aim {MEMCPY_AIM:g}x)", of_memcpy <= MEMCPY_AIM
            groups.append((f"{family} ({source})", bars, speedup, note, met))
    if not groups:
        sys.exit("no render_bench results in " + ", ".join(inputs))

    bar_h, gap, left, top = 11, 9, 170, 48
    plot_w, mid, ratio_w = 380, 120, 240
    ratio_x = left + plot_w + mid
    width = ratio_x + ratio_w + 150
    scale_max = max(v for _, bars, _, _, _ in groups for _, _, v in bars)
    ratio_min = 0.5
    ratio_max = 2 ** math.ceil(math.log2(max([AIM * 2] + [s for _, _, s, _, _ in groups if s])))
    rows = sum(len(bars) for _, bars, _, _, _ in groups)
    height = top + rows * bar_h + len(groups) * gap + 20
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
           f'font-family="sans-serif" font-size="10">',
           f'<rect width="{width}" height="{height}" fill="white"/>',
           f'<text x="{left}" y="16" font-size="12" font-weight="bold">ns per covered pixel '
           f'(fastest repetition; shorter is faster)</text>',
           f'<text x="{ratio_x}" y="16" font-size="12" font-weight="bold">fastest peer / ours (log scale)</text>']
    x = left
    shown = {d for _, bars, _, _, _ in groups for d, _, _ in bars}
    if "sdl" in shown:
        shown.add("sdl_key")  # the plain blit shares the key blit's legend
    for drawer, colour, legend in DRAWERS:
        if legend is None or drawer not in shown:
            continue
        out.append(f'<rect x="{x}" y="25" width="10" height="8" fill="{colour}"/>'
                   f'<text x="{x + 13}" y="33">{legend}</text>')
        x += 12 + 6 * len(legend) + 14
    def ratio_pos(r):
        r = min(max(r, ratio_min), ratio_max)
        return ratio_x + ratio_w * math.log2(r / ratio_min) / math.log2(ratio_max / ratio_min)
    y = top
    for label, bars, speedup, note, met in groups:
        group_h = bar_h * len(bars)
        out.append(f'<text x="{left - 6}" y="{y + group_h / 2 + 4:.0f}" text-anchor="end">{label}</text>')
        if speedup:
            colour = "#2b7bba" if met else "#c0392b"  # red: the aim is missed
            w = ratio_pos(speedup) - ratio_x
            out.append(f'<rect x="{ratio_x}" y="{y + group_h / 2 - 5:.0f}" width="{w:.1f}" height="9" '
                       f'fill="{colour}"/>')
            out.append(f'<text x="{ratio_x + w + 3:.1f}" y="{y + group_h / 2 + 3:.0f}" font-size="9">'
                       f'{speedup:.2f}x {note}</text>')
        for drawer, colour, value in bars:
            w = max(1.0, plot_w * value / scale_max)
            out.append(f'<rect x="{left}" y="{y}" width="{w:.1f}" height="{bar_h - 2}" fill="{colour}">'
                       f'<title>{drawer}: {value:.3f} ns/px</title></rect>')
            out.append(f'<text x="{left + w + 3:.1f}" y="{y + bar_h - 3}" font-size="9">{value:.2f}</text>')
            y += bar_h
        y += gap
    out.append(f'<line x1="{left}" y1="{top - 4}" x2="{left}" y2="{y}" stroke="black"/>')
    out.append(f'<line x1="{ratio_x}" y1="{top - 4}" x2="{ratio_x}" y2="{y}" stroke="black"/>')
    marks = [(1.0, "2,2", "1x"), (AIM, "5,3", f"aim {AIM:g}x")]
    marks += [(2.0 ** k, "1,4", f"{2 ** k:g}x") for k in range(2, int(math.log2(ratio_max)) + 1)]
    for r, dash, text in marks:
        px = ratio_pos(r)
        out.append(f'<line x1="{px:.1f}" y1="{top - 4}" x2="{px:.1f}" y2="{y}" stroke="#555" '
                   f'stroke-dasharray="{dash}"/>')
        out.append(f'<text x="{px:.1f}" y="{top - 6}" font-size="9" text-anchor="middle">{text}</text>')
    out.append("</svg>")
    with open(output, "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
