// Attributes of loaded datasets as the plug-ins read them.
#include "DicomHostFixture.h"

namespace hosttest {
namespace {

TEST_F(DicomHost, DatasetGettersAnswerTextAndBytes) {
    host->openPaths({phantom("ph", {"--size", "32x32x2"})});
    const std::string id = groupIds()[0];
    QVDatasetHandle data = QVGetDicomDataSet(id.c_str());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(take(QVGetDicomStringArray(data, 0x0010, 0x0010)), "PHANTOM^HEAD");
    EXPECT_EQ(take(QVGetDicomStringArray(data, 0x0020, 0x0037)), "1\\0\\0\\0\\1\\0");
    EXPECT_EQ(take(QVGetDicomStringArray(data, 0x0028, 0x0010)), "32");  // US as text
    EXPECT_EQ(QVGetDicomStringArray(data, 0x0009, 0x0010), nullptr);
    int32_t length = -1;
    uint8_t* bytes = QVGetDicomUint8Array(data, 0x0008, 0x0060, &length);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), size_t(length)).substr(0, 2), "CT");
    QVFree(bytes);
    length = -1;
    EXPECT_EQ(QVGetDicomUint8Array(data, 0x0009, 0x1010, &length), nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(QVGetDicomUint8Array(nullptr, 0x0008, 0x0060, nullptr), nullptr);
}

}  // namespace
}  // namespace hosttest
