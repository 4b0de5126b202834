#include "PacsAnswers.h"

namespace quarvia {

namespace {
constexpr AnswerTag kStudyUid{0x0020, 0x000D}, kSeriesUid{0x0020, 0x000E}, kSopUid{0x0008, 0x0018};
constexpr AnswerTag kPatientName{0x0010, 0x0010}, kPatientId{0x0010, 0x0020}, kStudyDate{0x0008, 0x0020},
    kStudyDescription{0x0008, 0x1030}, kModalitiesInStudy{0x0008, 0x0061}, kAccession{0x0008, 0x0050},
    kStudyInstances{0x0020, 0x1208};
constexpr AnswerTag kModality{0x0008, 0x0060}, kSeriesDescription{0x0008, 0x103E}, kSeriesNumber{0x0020, 0x0011},
    kSeriesInstances{0x0020, 0x1209};
constexpr AnswerTag kInstanceNumber{0x0020, 0x0013}, kPosition{0x0020, 0x0032}, kOrientation{0x0020, 0x0037};
}  // namespace

const std::vector<AnswerTag>& studyReturnKeys() {
    static const std::vector<AnswerTag> keys{kStudyUid,         kPatientName,       kPatientId, kStudyDate,
                                             kStudyDescription, kModalitiesInStudy, kAccession, kStudyInstances};
    return keys;
}

const std::vector<AnswerTag>& seriesReturnKeys() {
    static const std::vector<AnswerTag> keys{kSeriesUid, kModality, kSeriesDescription, kSeriesNumber, kSeriesInstances};
    return keys;
}

const std::vector<AnswerTag>& instanceReturnKeys() {
    static const std::vector<AnswerTag> keys{kSopUid, kInstanceNumber, kPosition, kOrientation};
    return keys;
}

bool studyHitOf(const AnswerReader& a, StudyHit& h) {
    h.studyUid = a.text(kStudyUid).toStdString();
    h.patientName = a.text(kPatientName).replace('^', ' ').trimmed();
    h.patientId = a.text(kPatientId);
    h.date = a.text(kStudyDate);
    h.description = a.text(kStudyDescription);
    h.modalities = a.text(kModalitiesInStudy);
    h.accession = a.text(kAccession);
    h.instances = a.text(kStudyInstances).toInt();
    return !h.studyUid.empty();
}

bool seriesHitOf(const AnswerReader& a, const std::string& studyUid, SeriesHit& h) {
    h.studyUid = studyUid;
    h.seriesUid = a.text(kSeriesUid).toStdString();
    h.modality = a.text(kModality);
    h.description = a.text(kSeriesDescription);
    h.number = a.text(kSeriesNumber).toInt();
    h.instances = a.text(kSeriesInstances).toInt();
    return !h.seriesUid.empty();
}

bool instanceHitOf(const AnswerReader& a, InstanceHit& h) {
    h.sopUid = a.text(kSopUid).toStdString();
    h.number = a.text(kInstanceNumber).toInt();
    h.hasGeometry = a.numbers(kPosition, h.position.data(), 3) && a.numbers(kOrientation, h.orientation.data(), 6);
    return !h.sopUid.empty();
}

}  // namespace quarvia
