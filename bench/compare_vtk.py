#!/usr/bin/python3
"""Render speed against VTK's CPU ray cast mapper, measured in the same run.

Runs bench_render for our timings, then renders the same volumes with
vtkFixedPointVolumeRayCastMapper on one thread, same camera (parallel,
looking along +y from the front, same view width), same image size, and
prints the ratios ours / VTK.

Needs Debian's VTK bindings for the system Python, which the project's
tests do not:  apt-get install -y python3-vtk9
Run with /usr/bin/python3 (the first python3 on PATH may not see them).
VTK 9.1 wants an X display even off screen: an Xvfb is started on :99
(or a free display) unless DISPLAY is set, and stopped at the end.

With more than one core, VTK also renders on as many threads as there are
cores, beside ours on the same cores, and ours is shown from 1 to 2 threads
and modelled on 8 and 16 cores. --large compares the 512 x 512 x 1000
volume instead: first picture, complete images and drag frames at 512, and
memory (VTK's measured as the growth of this process's resident set).

Usage: bench/compare_vtk.py BUILD_DIR [--repeat N] [--work DIR] [--ours JSON] [--large]
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SIZES = (256, 512)
CORES = os.cpu_count() or 1
# Goals, ours / VTK, and the drag frame's absolute goal.
GOAL_SSD, GOAL_SSD_PASS, GOAL_MIP, GOAL_FIRST, GOAL_DRAG_MS = 0.5, 0.35, 0.5, 0.05, 30.0


def our_timings(bench, work, ours=None):
    """Median milliseconds per case name 'data/mode/size/case', and the
    median CPU milliseconds (all threads) where the case reports them; runs
    the benchmark unless its JSON output of this run is given."""
    out = ours or os.path.join(work, "ours.json")
    if not ours:
        subprocess.run([bench, "--benchmark_format=console", "--benchmark_out_format=json",
                        "--benchmark_out=" + out], check=True)
    with open(out) as f:
        runs = json.load(f)["benchmarks"]
    timings, cpu = {}, {}
    for run in runs:
        key = run["name"].split("/iterations")[0].removeprefix("render/")
        if "median_ms" in run:
            timings[key] = run["median_ms"]
        if "cpu_ms" in run:
            cpu[key] = run["cpu_ms"]
        # The other counters (threads, tiles, memory) under their own names.
        for counter, value in run.items():
            if isinstance(value, (int, float)) and counter.endswith(("_ms", "_speedup", "_per_voxel", "_mb")):
                if counter not in ("median_ms", "min_ms", "cpu_ms", "real_time", "cpu_time"):
                    timings[f"{key}:{counter}"] = value
    return timings, cpu


def our_timings_large(bench, work, ours=None):
    """As our_timings, for bench_render --large."""
    out = ours or os.path.join(work, "ours.json")
    if not ours:
        subprocess.run([bench, "--large", "--benchmark_format=console", "--benchmark_out_format=json",
                        "--benchmark_out=" + out], check=True)
    return our_timings(bench, work, out)


def start_display():
    """An Xvfb on :99, or on a free display when :99 is taken (the machine
    is shared); None when a display is already set."""
    if os.environ.get("DISPLAY"):
        return None
    xvfb = subprocess.Popen(["Xvfb", ":99", "-screen", "0", "1024x768x24"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    if xvfb.poll() is None:
        os.environ["DISPLAY"] = ":99"
        return xvfb
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24"],
                            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as f:
        os.environ["DISPLAY"] = ":" + f.readline().strip()
    return xvfb


def read_volume(vtk, work, meta):
    reader = vtk.vtkImageReader2()
    reader.SetFileName(os.path.join(work, meta["raw"]))
    reader.SetFileDimensionality(3)
    reader.SetDataScalarTypeToUnsignedShort()
    reader.SetDataByteOrderToLittleEndian()
    # Rows as written, y up: the reader would otherwise flip y (front <-> back).
    reader.SetFileLowerLeft(1)
    reader.SetNumberOfScalarComponents(1)
    nx, ny, nz = meta["size"]
    reader.SetDataExtent(0, nx - 1, 0, ny - 1, 0, nz - 1)
    reader.SetDataSpacing(*meta["spacing"])
    reader.Update()
    return reader.GetOutput()


def make_property(vtk, meta, mip):
    colour = vtk.vtkColorTransferFunction()
    opacity = vtk.vtkPiecewiseFunction()
    prop = vtk.vtkVolumeProperty()
    prop.SetInterpolationTypeToLinear()
    if mip:
        # Grey through the same window; every sample counts.
        colour.AddRGBPoint(meta["window_low_stored"], 0, 0, 0)
        colour.AddRGBPoint(meta["window_high_stored"], 1, 1, 1)
        opacity.AddPoint(0, 1.0)
        opacity.AddPoint(65535, 1.0)
        prop.ShadeOff()
    else:
        # A step at the iso value: the first sample at or above it is opaque.
        iso = meta["iso_stored"]
        colour.AddRGBPoint(0, 0.9, 0.8, 0.7)
        colour.AddRGBPoint(65535, 0.9, 0.8, 0.7)
        opacity.AddPoint(0, 0.0)
        opacity.AddPoint(iso - 0.5, 0.0)
        opacity.AddPoint(iso, 1.0)
        opacity.AddPoint(65535, 1.0)
        prop.ShadeOn()
        prop.SetAmbient(0.15)
        prop.SetDiffuse(0.85)
        prop.SetSpecular(0.2)
    prop.SetColor(colour)
    prop.SetScalarOpacity(opacity)
    return prop


class Scene:
    """A VTK ray cast (one thread unless told) of one volume, blend mode and image size."""

    def __init__(self, vtk, image, meta, size, mip, threads=1):
        self.mapper = vtk.vtkFixedPointVolumeRayCastMapper()
        self.mapper.SetInputData(image)
        self.mapper.SetNumberOfThreads(threads)
        # Fixed full quality: one ray per pixel, one sample per voxel step as ours.
        self.mapper.AutoAdjustSampleDistancesOff()
        self.mapper.LockSampleDistanceToInputSpacingOff()
        self.mapper.SetImageSampleDistance(1.0)
        self.mapper.SetSampleDistance(meta["step_mm"])
        self.crop_like_ours(meta)
        if mip:
            self.mapper.SetBlendModeToMaximumIntensity()
        else:
            self.mapper.SetBlendModeToComposite()
        volume = vtk.vtkVolume()
        volume.SetMapper(self.mapper)
        volume.SetProperty(make_property(vtk, meta, mip))
        self.renderer = vtk.vtkRenderer()
        self.renderer.AddVolume(volume)
        self.window = vtk.vtkRenderWindow()
        self.window.SetOffScreenRendering(1)
        self.window.SetSize(size, size)
        self.window.AddRenderer(self.renderer)
        self.place_camera(image, meta)

    def crop_like_ours(self, meta):
        # Our casters keep 3.5 voxels off the low faces and 4.5 off the high
        # ones (room for the gradient); the same box here casts the same rays.
        planes = []
        for n, d in zip(meta["size"], meta["spacing"]):
            planes += [3.5 * d, (n - 4.5) * d]
        self.mapper.CroppingOn()
        self.mapper.SetCroppingRegionPlanes(*planes)
        self.mapper.SetCroppingRegionFlagsToSubVolume()

    def place_camera(self, image, meta):
        # Ours looks along +y voxel rows from the front, image up = +z.
        assert meta["view_direction_voxels"] == [0, 1, 0], meta["view_direction_voxels"]
        centre = image.GetCenter()
        camera = self.renderer.GetActiveCamera()
        camera.ParallelProjectionOn()
        camera.SetFocalPoint(*centre)
        camera.SetPosition(centre[0], centre[1] - 2000.0, centre[2])
        camera.SetViewUp(0, 0, 1)
        camera.SetParallelScale(meta["view_width_mm"] / 2.0)
        self.renderer.ResetCameraClippingRange()

    def render_ms(self):
        """Wall and process CPU milliseconds of one frame."""
        start, cpu = time.perf_counter(), time.process_time()
        self.window.Render()
        return (time.perf_counter() - start) * 1e3, (time.process_time() - cpu) * 1e3

    def save_png(self, vtk, path):
        grab = vtk.vtkWindowToImageFilter()
        grab.SetInput(self.window)
        grab.Update()
        writer = vtk.vtkPNGWriter()
        writer.SetFileName(path)
        writer.SetInputConnection(grab.GetOutputPort())
        writer.Write()


def vtk_timings(vtk, work, meta, repeat):
    """Median ms: first shaded frame (fresh data and mapper), then later frames."""
    image = read_volume(vtk, work, meta)
    name = meta["name"]
    result = {}
    for size in SIZES:
        firsts = []
        for _ in range(max(1, repeat // 2)):
            # The voxels are in memory; the copy stands for a new data set so
            # that nothing the mapper derived from the last one is reused.
            start = time.perf_counter()
            fresh = vtk.vtkImageData()
            fresh.ShallowCopy(image)
            scene = Scene(vtk, fresh, meta, size, mip=False)
            scene.window.Render()
            firsts.append((time.perf_counter() - start) * 1e3)
        result[f"{name}/vtk_first/{size}"] = statistics.median(firsts)
        for mode, mip in (("composite", False), ("mip", True)):
            scene = Scene(vtk, image, meta, size, mip)
            result[f"{name}/vtk_{mode}_first_frame/{size}"] = scene.render_ms()[0]
            frames = [scene.render_ms() for _ in range(repeat)]
            result[f"{name}/vtk_{mode}/{size}"] = statistics.median(f[0] for f in frames)
            result[f"{name}/vtk_{mode}_cpu/{size}"] = statistics.median(f[1] for f in frames)
            if size == 256:
                scene.save_png(vtk, os.path.join(work, f"{name}_vtk_{mode}.png"))
            if CORES > 1:
                scene = Scene(vtk, image, meta, size, mip, threads=CORES)
                scene.render_ms()
                result[f"{name}/vtk_{mode}_all/{size}"] = statistics.median(
                    scene.render_ms()[0] for _ in range(repeat))
    return result


def rss_mb():
    """Resident memory of this process in MB."""
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def vtk_large(vtk, work, meta, repeat):
    """The whole-body sized volume at 512: first shaded frame, frames, and
    the memory the mapper adds to the voxels (MB), one thread."""
    before = rss_mb()
    image = read_volume(vtk, work, meta)
    loaded = rss_mb()
    name, size, result = meta["name"], 512, {}
    start = time.perf_counter()
    scene = Scene(vtk, image, meta, size, mip=False)
    scene.window.Render()
    result[f"{name}/vtk_first/{size}"] = (time.perf_counter() - start) * 1e3
    result[f"{name}/vtk_values_mb"] = loaded - before
    result[f"{name}/vtk_mapper_mb"] = rss_mb() - loaded
    result[f"{name}/vtk_composite/{size}"] = statistics.median(scene.render_ms()[0] for _ in range(repeat))
    del scene
    scene = Scene(vtk, image, meta, size, mip=True)
    scene.render_ms()
    result[f"{name}/vtk_mip/{size}"] = statistics.median(scene.render_ms()[0] for _ in range(repeat))
    voxels = meta["size"][0] * meta["size"][1] * meta["size"][2]
    result[f"{name}/vtk_mapper_bytes_per_voxel"] = result[f"{name}/vtk_mapper_mb"] * 1048576.0 / voxels
    return result


def verdict(ratio, goal):
    return "met" if ratio <= goal else f"missed by {ratio / goal:.2f}x"


def report(ours, ours_cpu, theirs, names):
    # Wall ratios carry the load other programs put on the machine; the
    # CPU ratio (all our threads against VTK's one) is what each costs.
    print("\n== ours / VTK (median ms; VTK one thread; cpu: CPU ms ratio where measured)")
    for name in names:
        for size in SIZES:
            rows = [
                ("SSD complete vs VTK composite", ours[f"{name}/ssd/{size}/complete"],
                 theirs[f"{name}/vtk_composite/{size}"], GOAL_SSD),
                ("SSD one full pass vs VTK composite", ours[f"{name}/ssd/{size}/full"],
                 theirs[f"{name}/vtk_composite/{size}"], GOAL_SSD_PASS),
                ("MIP complete vs VTK MIP", ours[f"{name}/mip/{size}/complete"],
                 theirs[f"{name}/vtk_mip/{size}"], GOAL_MIP),
                ("MIP one full pass vs VTK MIP", ours[f"{name}/mip/{size}/full"],
                 theirs[f"{name}/vtk_mip/{size}"], GOAL_MIP),
                ("first SSD picture vs VTK first shaded", ours[f"{name}/ssd/{size}/first"],
                 theirs[f"{name}/vtk_first/{size}"], GOAL_FIRST),
            ]
            cases = ("complete", "full", "complete", "full", "first")
            modes = ("ssd", "ssd", "mip", "mip", "ssd")
            vtk_modes = ("composite", "composite", "mip", "mip", None)
            for (label, a, b, goal), case, mode, vtk_mode in zip(rows, cases, modes, vtk_modes):
                r = a / b
                cpu = ""
                ours_key = f"{name}/{mode}/{size}/{case}"
                vtk_key = f"{name}/vtk_{vtk_mode}_cpu/{size}"
                if vtk_mode and ours_key in ours_cpu and theirs.get(vtk_key):
                    cpu = f"  cpu {ours_cpu[ours_key]:7.1f} / {theirs[vtk_key]:7.1f} = {ours_cpu[ours_key] / theirs[vtk_key]:5.2f}"
                print(f"{name:9s} {size:3d}  {label:38s} {a:9.1f} {b:9.1f}  ratio {r:5.2f}"
                      f"  goal <= {goal:.2f}: {verdict(r, goal)}{cpu}")
        for size in SIZES:
            drag = ours[f"{name}/ssd/{size}/drag"]
            drag_mip = ours[f"{name}/mip/{size}/drag"]
            print(f"{name:9s} {size:3d}  drag frame SSD {drag:.1f} ms, MIP {drag_mip:.1f} ms"
                  f"  goal < {GOAL_DRAG_MS:.0f} ms: SSD {'met' if drag < GOAL_DRAG_MS else 'missed'},"
                  f" MIP {'met' if drag_mip < GOAL_DRAG_MS else 'missed'}")
    report_all_cores(ours, theirs, names)
    print(json.dumps({"ours": ours, "ours_cpu": ours_cpu, "vtk": theirs}, indent=1, sort_keys=True))


def report_all_cores(ours, theirs, names):
    """Ours on every core against VTK on as many threads, and how ours
    scales: 1 and 2 pool threads measured, 8 and 16 cores modelled from
    the background pass's tile costs."""
    print(f"\n== all cores ({CORES}): ours / VTK on {CORES} threads (median ms)")
    for name in names:
        for size in SIZES:
            for mode, vtk_mode in (("ssd", "composite"), ("mip", "mip")):
                b = theirs.get(f"{name}/vtk_{vtk_mode}_all/{size}")
                if not b:
                    continue
                a = ours[f"{name}/{mode}/{size}/complete"]
                f = ours[f"{name}/{mode}/{size}/full"]
                print(f"{name:9s} {size:3d}  {mode.upper():3s} complete {a:7.1f}, one pass {f:7.1f}"
                      f"  VTK {b:7.1f}  ratios {a / b:5.2f}, {f / b:5.2f}")
    print("\n== scaling of the complete image (ms; 1 and 2 threads measured, 8 and 16 cores modelled)")
    for name in names:
        for size in SIZES:
            for mode in ("ssd", "mip"):
                t = f"{name}/{mode}/{size}/threads"
                m = f"{name}/{mode}/{size}/tiles"
                if f"{t}:complete_1t_ms" not in ours or f"{m}:complete_8c_ms" not in ours:
                    continue
                print(f"{name:9s} {size:3d}  {mode.upper():3s} 1 thread {ours[t + ':complete_1t_ms']:7.1f}"
                      f"  2 threads {ours[t + ':complete_2t_ms']:7.1f} (x{ours[t + ':complete_speedup']:.2f})"
                      f"  background pass modelled: 1 core {ours[m + ':complete_1c_ms']:7.1f},"
                      f" 8 cores {ours[m + ':complete_8c_ms']:6.1f}, 16 cores {ours[m + ':complete_16c_ms']:6.1f}")


def report_large(ours, theirs, name):
    """The whole-body sized volume: ours and VTK (one thread) at 512."""
    print(f"\n== {name} (512 x 512 x 1000) at 512 pixels: ours / VTK one thread (median ms)")
    rows = (("first SSD picture vs VTK first shaded", f"{name}/ssd/512/first", f"{name}/vtk_first/512"),
            ("SSD complete vs VTK composite", f"{name}/ssd/512/complete", f"{name}/vtk_composite/512"),
            ("MIP complete vs VTK MIP", f"{name}/mip/512/complete", f"{name}/vtk_mip/512"))
    for label, a, b in rows:
        if a in ours and b in theirs:
            print(f"{label:40s} {ours[a]:9.1f} {theirs[b]:9.1f}  ratio {ours[a] / theirs[b]:5.2f}")
    print(f"drag frame at 512: SSD {ours[f'{name}/ssd/512/drag']:.1f} ms, MIP {ours[f'{name}/mip/512/drag']:.1f} ms")
    mem = f"{name}/memory"
    print(f"memory: ours {ours.get(mem + ':volume_bytes_per_voxel', 0):.2f} bytes a voxel (mask, blocks, row tables)"
          f" + {ours.get(mem + ':view_mb', 0):.1f} MB a view;"
          f" VTK's mapper {theirs.get(name + '/vtk_mapper_bytes_per_voxel', 0):.2f} bytes a voxel"
          f" ({theirs.get(name + '/vtk_mapper_mb', 0):.0f} MB);"
          f" the values themselves 2 bytes a voxel in both")
    print(json.dumps({"ours": ours, "vtk": theirs}, indent=1, sort_keys=True))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--work", help="keep the volumes and images here")
    parser.add_argument("--ours", help="bench_render's JSON output of this run")
    parser.add_argument("--large", action="store_true",
                        help="the 512 x 512 x 1000 volume instead (about 4 GB of memory, minutes)")
    args = parser.parse_args()
    try:
        import vtk  # noqa: F401  (only to fail early and clearly)
    except ImportError:
        sys.exit("compare_vtk: no VTK for this Python; apt-get install -y python3-vtk9")
    bench = os.path.join(args.build, "bench", "bench_render")
    work = args.work or tempfile.mkdtemp(prefix="vexel-compare-")
    os.makedirs(work, exist_ok=True)
    xvfb = None
    large = ["--large"] if args.large else []
    try:
        subprocess.run([bench] + large + ["--write-volume", work], check=True)
        names = sorted(f[:-5] for f in os.listdir(work) if f.endswith(".json") and f != "ours.json")
        if args.large:
            ours, _ = our_timings_large(bench, work, args.ours)
        else:
            ours, ours_cpu = our_timings(bench, work, args.ours)
        xvfb = start_display()
        theirs = {}
        for name in names:
            with open(os.path.join(work, name + ".json")) as f:
                meta = json.load(f)
            if args.large:
                theirs.update(vtk_large(vtk, work, meta, max(1, args.repeat // 2)))
            else:
                theirs.update(vtk_timings(vtk, work, meta, args.repeat))
        if args.large:
            report_large(ours, theirs, names[0])
        else:
            report(ours, ours_cpu, theirs, names)
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
