#pragma once
// Reads an axial CT series (one uncompressed DICOM file per slice) into a
// block of stored values HU + 1024, for benchmarks on real data.

#include "RenderScene.h"

#include <string>

// False (block untouched) when the folder is missing or a file does not read
// as a slice of one equally spaced axial stack.
bool readCorpusCT(const std::string& folder, CTBlock& block);
