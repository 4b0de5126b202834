#include "BodyLength.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

using namespace glossan;

namespace {

BodyLength headers(std::initializer_list<std::string> lines) {
    BodyLength length;
    for (const std::string& line : lines) length.addHeaderLine(line.data(), line.size());
    return length;
}

TEST(BodyLength, ReadsTheAnnouncedLength) {
    const BodyLength length = headers({"HTTP/1.1 200 OK\r\n", "content-LENGTH:\t 131072 \r\n", "\r\n"});
    EXPECT_FALSE(length.invalid());
    EXPECT_EQ(length.announced(), 131072);
}

TEST(BodyLength, NoHeaderAnnouncesNothing) {
    EXPECT_EQ(headers({"HTTP/1.1 200 OK\r\n", "Content-Type: x\r\n"}).announced(), -1);
}

TEST(BodyLength, RejectsTwoDifferentLengths) {
    EXPECT_TRUE(headers({"Content-Length: 10\r\n", "Content-Length: 11\r\n"}).invalid());
    EXPECT_FALSE(headers({"Content-Length: 10\r\n", "Content-Length: 10\r\n"}).invalid());
}

TEST(BodyLength, RejectsSignsListsAndOverflow) {
    for (const char* value : {"-1", "+5", "1,1", "0x10", "", "99999999999999999999999", "12 34"})
        EXPECT_TRUE(headers({"Content-Length: " + std::string(value) + "\r\n"}).invalid()) << value;
}

TEST(BodyLength, TransferCodingOverridesTheLength) {
    const BodyLength length = headers({"Content-Length: 10\r\n", "Transfer-Encoding: chunked\r\n"});
    EXPECT_EQ(length.announced(), -1);
    EXPECT_FALSE(length.invalid());
    EXPECT_TRUE(length.chunked());
    // Only a last coding of chunked frames the body; any other ends it at the close.
    EXPECT_FALSE(headers({"Content-Length: 10\r\n", "Transfer-Encoding: chunked, gzip\r\n"}).chunked());
    EXPECT_FALSE(headers({"Content-Length: 10\r\n", "Transfer-Encoding: xchunked\r\n"}).chunked());
    EXPECT_TRUE(headers({"Transfer-Encoding: gzip,Chunked \r\n"}).chunked());
}

TEST(BodyLength, InterimAnswerIsForgotten) {
    const BodyLength length = headers(
        {"HTTP/1.1 100 Continue\r\n", "Content-Length: 5\r\n", "\r\n", "HTTP/1.1 200 OK\r\n", "Content-Length: 7\r\n"});
    EXPECT_FALSE(length.invalid());
    EXPECT_EQ(length.announced(), 7);
}

}  // namespace
