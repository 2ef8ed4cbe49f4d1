#!/usr/bin/env python3
"""Medians of the runs in results.jsonl, ratios ours / theirs, side-by-side frames.

Writes OUT/table.md (the tables printed), OUT/table.csv (one row per library and scene, read by
the plot program) and OUT/frames/side_<scene>_<size>.png.
"""
import collections, json, os, statistics, subprocess, sys

results, out = sys.argv[1], sys.argv[2]
runs = collections.defaultdict(list)
with open(results) as f:
    for line in f:
        line = line.strip()
        if line.startswith("{"):
            r = json.loads(line)
            runs[(r["library"] + "/" + r["mode"], r["scene"], "%dx%d" % (r["width"], r["height"]))].append(r)

ours = "glbase/scanbuffer"
# The floor last: llvmpipe drawing only each scene's main primitives, with no library.
peers = ["qcustomplot/raster", "qcustomplot/opengl", "qwt/raster", "qwt/opengl", "llvmpipe/floor"]
scenes = ["trace", "trace64k", "step", "panels", "waterfall", "persistence"]
sizes = ["1920x1080", "800x600"]
libs = [ours] + [p for p in peers if any(k[0] == p for k in runs)]

def median(lib, scene, size, key):
    rs = runs.get((lib, scene, size))
    return statistics.median(r[key] for r in rs) if rs else None

def fmt(v, digits=1):
    return "–" if v is None else f"{v:.{digits}f}"

def ratio(a, b):
    return "–" if a is None or b is None or b == 0 else f"{a / b:.2f}"

lines = []
def table(title, key, digits, ratio_note):
    lines.append(f"### {title}\n")
    head = ["scene", "size"] + libs + [f"ours / {p}" for p in libs[1:]]
    lines.append("| " + " | ".join(head) + " |")
    lines.append("|" + "---|" * len(head))
    for scene in scenes:
        for size in sizes:
            vals = [median(l, scene, size, key) for l in libs]
            if all(v is None for v in vals):
                continue
            row = [scene, size] + [fmt(v, digits) for v in vals] + [ratio(vals[0], v) for v in vals[1:]]
            lines.append("| " + " | ".join(row) + " |")
    lines.append(f"\n{ratio_note}\n")

reps = max((len(v) for v in runs.values()), default=0)
lines.append(f"Medians of {reps} runs per cell; '–': not run (scene or mode not available).\n")
table("Frames per second (waterfall: lines per second, one new line per frame)", "fps", 1,
      "Ratio above 1: ours is faster.")
table("CPU time per frame, ms (all threads of the process)", "cpu_ms_per_frame", 2,
      "Ratio below 1: ours uses less CPU.")
table("Peak resident memory, MB (whole process)", "peak_mb", 1, "Ratio below 1: ours uses less memory.")
text = "\n".join(lines)
print(text)
with open(os.path.join(out, "table.md"), "w") as f:
    f.write(text + "\n")

with open(os.path.join(out, "table.csv"), "w") as f:
    f.write("library,scene,size,fps,cpu_ms_per_frame,peak_mb\n")
    order = {s: i for i, s in enumerate(scenes)}
    for (lib, scene, size) in sorted(runs, key=lambda k: (order.get(k[1], 99), sizes.index(k[2]) if k[2] in sizes else 9, k[0])):
        f.write(",".join([lib, scene, size] + [fmt(median(lib, scene, size, k), 3)
                                                for k in ("fps", "cpu_ms_per_frame", "peak_mb")]) + "\n")

frames = os.path.join(out, "frames")
for scene in scenes:
    for size in sizes:
        pngs = [os.path.join(frames, f"{scene}_{size}_{l.replace('/', '_')}.png") for l in libs]
        pngs = [p for p in pngs if os.path.exists(p)]
        if len(pngs) > 1:
            subprocess.run(["convert"] + pngs + ["+append", "-resize", "x400",
                            os.path.join(frames, f"side_{scene}_{size}.png")], check=False)
