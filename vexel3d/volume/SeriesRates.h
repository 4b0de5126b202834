#pragma once
// The download-state arithmetic of a loaded series: memory needed, rates
// averaged over the images, the compression test and the refresh rule.

#include <cstdint>
#include <string>
#include <vector>

namespace v3d {

class SeriesHostPort;

// Memory a volume of that size needs while it is built and shown: 17/8 of
// the voxel data plus 60 MiB. In 64 bits: a series of 4 GiB and more must
// not wrap to a small number.
uint64_t requiredMemory(int bytesPerValue, int columns, int rows, int images);

// Rates over the images; an empty list answers 1.0 or true.
double averageCompletion(const std::vector<std::string>& ids, SeriesHostPort& host);
double averageDownloadRate(const std::vector<std::string>& ids, SeriesHostPort& host);
bool allImagesLossless(const std::vector<std::string>& ids, SeriesHostPort& host);
bool qualityCheck(const std::vector<std::string>& ids, SeriesHostPort& host);

// Whether the timer refreshes now: in steps of at least a tenth, and a last
// time on completion.
bool refreshDue(double completion, double completedAtLastUpdate);

}  // namespace v3d
