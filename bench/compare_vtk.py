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

Usage: bench/compare_vtk.py BUILD_DIR [--repeat N] [--work DIR] [--ours JSON]
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
    return timings, cpu


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
    """A one-thread VTK ray cast of one volume, blend mode and image size."""

    def __init__(self, vtk, image, meta, size, mip):
        self.mapper = vtk.vtkFixedPointVolumeRayCastMapper()
        self.mapper.SetInputData(image)
        self.mapper.SetNumberOfThreads(1)
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
        drag = ours[f"{name}/ssd/256/drag"]
        drag_mip = ours[f"{name}/mip/256/drag"]
        print(f"{name:9s} 256  drag frame SSD {drag:.1f} ms, MIP {drag_mip:.1f} ms"
              f"  goal < {GOAL_DRAG_MS:.0f} ms: SSD {'met' if drag < GOAL_DRAG_MS else 'missed'},"
              f" MIP {'met' if drag_mip < GOAL_DRAG_MS else 'missed'}")
    print(json.dumps({"ours": ours, "ours_cpu": ours_cpu, "vtk": theirs}, indent=1, sort_keys=True))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--work", help="keep the volumes and images here")
    parser.add_argument("--ours", help="bench_render's JSON output of this run")
    args = parser.parse_args()
    try:
        import vtk  # noqa: F401  (only to fail early and clearly)
    except ImportError:
        sys.exit("compare_vtk: no VTK for this Python; apt-get install -y python3-vtk9")
    bench = os.path.join(args.build, "bench", "bench_render")
    work = args.work or tempfile.mkdtemp(prefix="vexel-compare-")
    os.makedirs(work, exist_ok=True)
    xvfb = None
    try:
        subprocess.run([bench, "--write-volume", work], check=True)
        names = sorted(f[:-5] for f in os.listdir(work) if f.endswith(".json") and f != "ours.json")
        ours, ours_cpu = our_timings(bench, work, args.ours)
        xvfb = start_display()
        theirs = {}
        for name in names:
            with open(os.path.join(work, name + ".json")) as f:
                theirs.update(vtk_timings(vtk, work, json.load(f), args.repeat))
        report(ours, ours_cpu, theirs, names)
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
