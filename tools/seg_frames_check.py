#!/usr/bin/python3
"""Check a binary DICOM Segmentation against the mask it was written from.

usage: seg_frames_check.py SEG.dcm MASK.raw SIZEX SIZEY SIZEZ [--descending]

MASK.raw holds one byte per voxel (non-zero: in the segment), x fastest, then
y, then z. The segmentation is read on its own (pydicom and numpy), not with
the code that wrote it.

Frames map to slices by their Image Position (Patient) along the slice
normal (row direction x column direction): the frame lowest along the normal
is slice 0, unless --descending says the series runs the other way. The file
order of the frames is not used, so a writer that reorders frames is still
checked. Every slice must have exactly one frame.

Prints "frames equal the mask" and exits 0, or prints what differs (the
number of differing voxels) and exits 1. Exits 2 on bad arguments and 77
when pydicom or numpy is missing.
"""
import sys

try:
    import numpy as np
    import pydicom
except ImportError as missing:
    print(f"seg_frames_check: {missing}; skipped")
    sys.exit(77)


def frame_item(ds, sequence_name, frame):
    """The item of a functional group for one frame: per-frame first, then shared."""
    for groups in (ds.PerFrameFunctionalGroupsSequence[frame],
                   ds.SharedFunctionalGroupsSequence[0] if "SharedFunctionalGroupsSequence" in ds else None):
        if groups is not None and sequence_name in groups and len(groups[sequence_name].value) > 0:
            return groups[sequence_name].value[0]
    return None


def differ(message):
    print(message)
    sys.exit(1)


def main(argv):
    args = [a for a in argv[1:] if a != "--descending"]
    descending = "--descending" in argv[1:]
    if len(args) != 5:
        print(__doc__.strip().splitlines()[2])
        return 2
    seg_path, mask_path = args[0], args[1]
    try:
        size_x, size_y, size_z = (int(v) for v in args[2:5])
    except ValueError:
        print("SIZEX SIZEY SIZEZ must be whole numbers")
        return 2
    if min(size_x, size_y, size_z) < 1:
        print("SIZEX SIZEY SIZEZ must be positive")
        return 2

    plane = size_x * size_y
    mask = np.fromfile(mask_path, dtype=np.uint8)
    if mask.size != plane * size_z:
        print(f"{mask_path} holds {mask.size} bytes, {plane * size_z} expected")
        return 2
    mask = (mask != 0).reshape(size_z, plane)

    ds = pydicom.dcmread(seg_path)
    if ds.get("SegmentationType") != "BINARY" or int(ds.get("BitsAllocated", 0)) != 1:
        differ("not a binary segmentation")
    if int(ds.Rows) != size_y or int(ds.Columns) != size_x:
        differ(f"frames are {ds.Columns} x {ds.Rows}, the mask's slices {size_x} x {size_y}")
    frames = int(ds.NumberOfFrames)
    if frames != size_z or len(ds.PerFrameFunctionalGroupsSequence) != frames:
        differ(f"{frames} frames for {size_z} slices")

    # Bits run on from frame to frame, least significant bit first.
    data = np.frombuffer(ds.PixelData, dtype=np.uint8)
    if data.size * 8 < frames * plane:
        differ(f"pixel data holds {data.size} bytes, {(frames * plane + 7) // 8} needed")
    bits = np.unpackbits(data, bitorder="little")[: frames * plane].reshape(frames, plane).astype(bool)

    heights = []
    for frame in range(frames):
        orientation = frame_item(ds, "PlaneOrientationSequence", frame)
        position = frame_item(ds, "PlanePositionSequence", frame)
        segment = frame_item(ds, "SegmentIdentificationSequence", frame)
        if segment is None or int(segment.ReferencedSegmentNumber) != 1:
            differ(f"frame {frame + 1} is not of segment 1")
        if orientation is None or position is None:
            differ(f"frame {frame + 1} has no plane orientation or position")
        row = np.array([float(v) for v in orientation.ImageOrientationPatient[:3]])
        column = np.array([float(v) for v in orientation.ImageOrientationPatient[3:6]])
        heights.append(float(np.dot(np.cross(row, column), [float(v) for v in position.ImagePositionPatient])))
    order = sorted(range(frames), key=lambda f: heights[f], reverse=descending)
    slice_of_frame = {frame: z for z, frame in enumerate(order)}
    if len(set(round(h, 3) for h in heights)) != frames:
        differ("two frames lie on the same slice")

    differing = 0
    for frame in range(frames):
        differing += int(np.count_nonzero(bits[frame] != mask[slice_of_frame[frame]]))
    if differing:
        differ(f"{differing} voxels differ")
    print("frames equal the mask")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
