#!/usr/bin/env python3
"""The peer / ours table of render_bench from one or more of its JSON
outputs, each drawer's time being its fastest repetition over all of them.

On a shared or virtual machine a peer's speed can differ from one process to
the next by more than its repetitions within a process do (where its
bitmaps land in memory matters), so a fair table takes each drawer's best
over several runs:

  for i in 1 2 3; do
    render_bench --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true \\
        --benchmark_out=run$i.json
  done
  ratios.py run1.json run2.json run3.json

The families and their peers are those of render_bench's own tables.
"""
import json
import sys
from collections import defaultdict

UNSCALED = [  # family, the family whose peer entries do the same work, peers
    ("copy", "copy", ["sdl_key", "allegro"]),
    ("mirror_x", "mirror_x", ["allegro"]),
    ("mirror_y", "mirror_y", ["allegro"]),
    ("mirror_xy", "mirror_xy", ["allegro"]),
    ("blend", "blend", ["allegro"]),
    ("solid", "solid", ["allegro"]),
    ("rle_copy", "rle_copy", ["sdl_key_rle", "allegro"]),
    ("rle_blend", "rle_blend", ["allegro"]),
    ("turn_left", "turn_left", ["allegro"]),
    ("turn_right", "turn_right", ["allegro"]),
    ("opaque", "opaque", ["sdl", "allegro"]),
    ("opaque_mirror_y", "opaque", ["sdl", "allegro"]),
]
ZOOM_PEERS = ["sdl_key", "allegro", "allegro_2step"]
SOURCES = ["test2", "synthetic"]


def best_of(paths, value):
    """Each benchmark's smallest value(run) over the repetitions in all the
    files (value gives None where a repetition has nothing to give)."""
    values = defaultdict(list)
    for path in paths:
        with open(path) as f:
            for run in json.load(f)["benchmarks"]:
                if run.get("run_type") != "iteration" or value(run) is None:
                    continue
                values[run["run_name"].removesuffix("/real_time")].append(value(run))
    return {name: min(v) for name, v in values.items()}


def fastest(paths):
    """us per pass of each benchmark's fastest repetition over all files."""
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}
    return best_of(paths, lambda run: run["real_time"] * scale[run.get("time_unit", "ns")])


def rows(best):
    """(family, source, ours, fastest peer, its time) for every family that ran."""
    def line(family, peers_of, source, peers):
        ours = best.get(f"{family}/ours/{source}")
        if ours is None:
            return None
        timed = [(best[f"{peers_of}/{p}/{source}"], p) for p in peers if f"{peers_of}/{p}/{source}" in best]
        peer_time, peer = min(timed) if timed else (None, "(none ran)")
        return family, source, ours, peer, peer_time

    out = []
    for family, peers_of, peers in UNSCALED:
        for source in ["test.bmp"] if family.startswith("opaque") else SOURCES:
            out.append(line(family, peers_of, source, peers))
    for percent in (50, 150, 200):
        for effect in ("copy", "blend", "solid"):
            for rle in ("", "rle_"):
                for source in SOURCES:
                    family = f"zoom{percent}_{rle}{effect}"
                    out.append(line(family, f"zoom{percent}_{effect}", source, ZOOM_PEERS))
    out.append(line("box_blend", "box_blend", "150x30", ["allegro"]))
    return [r for r in out if r is not None]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    best = fastest(sys.argv[1:])
    print(f"{'family':<20} {'source':<10} {'ours us':>10} {'fastest peer':>14} {'peer us':>10} {'peer/ours':>10}")
    for family, source, ours, peer, peer_time in rows(best):
        ratio = f"{peer_time / ours:9.2f}x" if peer_time else f"{'-':>10}"
        shown = f"{peer_time:10.2f}" if peer_time else f"{'-':>10}"
        print(f"{family:<20} {source:<10} {ours:10.2f} {peer:>14} {shown} {ratio}")
    memcpy = best.get("opaque/memcpy/test.bmp")
    for name in ("opaque/ours/test.bmp", "opaque_mirror_y/ours/test.bmp"):
        if memcpy and name in best:
            print(f"{name:<30} {best[name]:.2f} us, memcpy {memcpy:.2f} us: {best[name] / memcpy:.2f}x memcpy's time")


if __name__ == "__main__":
    main()
