#pragma once

#include "PacsTypes.h"

#include <cstdint>
#include <vector>

namespace quarvia {

// An attribute of a query answer.
struct AnswerTag {
    uint16_t group, element;
};

// One object of a query answer, read alike from a C-FIND data set and from
// DICOM JSON: the values of an attribute as text ("\"-separated, names as
// their alphabetic form), or as numbers.
class AnswerReader {
public:
    virtual ~AnswerReader() = default;
    virtual QString text(AnswerTag tag) const = 0;
    virtual bool numbers(AnswerTag tag, double* out, int count) const = 0;
};

// The attributes asked for at each level besides the matching keys, and the
// hits made of an answer (false when it names no object).
const std::vector<AnswerTag>& studyReturnKeys();
const std::vector<AnswerTag>& seriesReturnKeys();
const std::vector<AnswerTag>& instanceReturnKeys();
bool studyHitOf(const AnswerReader& answer, StudyHit& hit);
bool seriesHitOf(const AnswerReader& answer, const std::string& studyUid, SeriesHit& hit);
bool instanceHitOf(const AnswerReader& answer, InstanceHit& hit);

}  // namespace quarvia
