// Files made to hurt the reader: sequences nested thousands deep, files cut
// anywhere, and the element walk that guards the toolkit against them.
#include "DicomHostFixture.h"

#include "dicom/StreamScan.h"

#include <QFile>

#include <gmock/gmock.h>

#include <string>

namespace hosttest {
namespace {

using ::testing::HasSubstr;

void put16(std::string& out, uint16_t v) { out += char(v & 0xFF), out += char(v >> 8); }
void put32(std::string& out, uint32_t v) { put16(out, uint16_t(v & 0xFFFF)), put16(out, uint16_t(v >> 16)); }
void element(std::string& out, uint16_t g, uint16_t e, const char* vr, const std::string& value) {
    put16(out, g), put16(out, e), out += vr;
    put16(out, uint16_t(value.size()));
    out += value;
}

// A file whose one sequence holds an item holding the sequence again, `depth` times.
std::string nestedFile(int depth) {
    std::string out(128, '\0');
    out += "DICM";
    element(out, 0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2.1") + '\0');
    element(out, 0x0008, 0x0060, "CS", "CT");
    for (int i = 0; i < depth; ++i) {
        put16(out, 0x0040), put16(out, 0xA730), out += "SQ", put16(out, 0), put32(out, 0xFFFFFFFFu);
        put16(out, 0xFFFE), put16(out, 0xE000), put32(out, 0xFFFFFFFFu);
    }
    for (int i = 0; i < depth; ++i) {
        put16(out, 0xFFFE), put16(out, 0xE00D), put32(out, 0);
        put16(out, 0xFFFE), put16(out, 0xE0DD), put32(out, 0);
    }
    return out;
}

quarvia::StreamReport scan(const std::string& bytes) {
    return quarvia::scanDicomStream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST_F(DicomHost, SequencesNestedTenThousandDeepAreRefusedNotFollowed) {
    const std::string deep = nestedFile(10000);
    EXPECT_EQ(scan(nestedFile(quarvia::kMaxSequenceDepth)).state, quarvia::StreamState::Sound);
    EXPECT_EQ(scan(deep).state, quarvia::StreamState::TooDeep);
    QFile file(dir.filePath("deep/deep.dcm"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("deep")) && file.open(QIODevice::WriteOnly));
    file.write(deep.data(), qint64(deep.size()));
    file.close();
    const QStringList problems = host->openPaths({dir.filePath("deep")});
    ASSERT_EQ(problems.size(), 1);
    EXPECT_THAT(problems[0].toStdString(), HasSubstr("nested more than 128 deep"));
}

// Every cut of a real file is walked without reading past its end; cuts
// inside an element say which element and by how much.
TEST_F(DicomHost, EveryCutOfAFileIsReportedNotRead) {
    const QString folder = phantom("ph", {"--size", "16x16x1", "--transfer", "explicit"});
    QFile file(folder + "/0001.dcm");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string whole = file.readAll().toStdString();
    ASSERT_EQ(scan(whole).state, quarvia::StreamState::Sound);
    int boundaries = 0;
    for (size_t cut = 133; cut < whole.size(); ++cut) {
        // Cut between two elements the file is whole as far as it goes; anywhere else it is truncated.
        const quarvia::StreamReport r = scan(whole.substr(0, cut));
        const bool boundary = r.state == quarvia::StreamState::Sound && r.offset == cut;
        EXPECT_TRUE(boundary || r.state == quarvia::StreamState::Truncated) << cut;
        boundaries += boundary ? 1 : 0;
    }
    EXPECT_LT(boundaries, 80);
    const std::string cutInPixels = whole.substr(0, whole.size() - 100);
    QFile out(dir.filePath("cut/0001.dcm"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("cut")) && out.open(QIODevice::WriteOnly));
    out.write(cutInPixels.data(), qint64(cutInPixels.size()));
    out.close();
    const QStringList problems = host->openPaths({dir.filePath("cut/0001.dcm")});
    ASSERT_EQ(problems.size(), 1);
    EXPECT_THAT(problems[0].toStdString(), HasSubstr("truncated: element (7FE0,0010)"));
    EXPECT_THAT(problems[0].toStdString(), HasSubstr("needs 100 more bytes"));
}

}  // namespace
}  // namespace hosttest
