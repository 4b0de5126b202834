#pragma once

#include <cstdint>
#include <string>
#include <vector>

class DcmDataset;

namespace quarvia {

// A value as text, several values joined by backslashes; false when absent.
bool datasetText(DcmDataset* dataset, uint16_t group, uint16_t element, std::string& text);
// The value's bytes (little endian for binary values, the text otherwise).
bool datasetBytes(DcmDataset* dataset, uint16_t group, uint16_t element, std::vector<uint8_t>& bytes);
// Convenience: the text or empty.
std::string datasetString(DcmDataset* dataset, uint16_t group, uint16_t element);

}  // namespace quarvia
