#include "protocol/HttpRequestReader.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

namespace {

QByteArray notify(const QByteArray& headers, const QByteArray& body) {
    return "NOTIFY /RINCON_1/MediaRenderer/AVTransport HTTP/1.1\r\n" + headers + "\r\n" + body;
}

TEST(HttpRequestHead, ReadsRequestLineAndHeaders) {
    const auto head = HttpRequestHead::parse("  NOTIFY   /a/b  HTTP/1.1 extra\r\n"
                                             "SID:  uuid:x \t\r\n"
                                             "Seq:0\r\n"
                                             "NT: first\r\n"
                                             "nt: second\r\n"
                                             "Sid : spaced\r\n"
                                             "no colon line\r\n"
                                             "X-Empty:\r\n"
                                             "Host: 10.0.0.1:1400");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->method, "NOTIFY");
    EXPECT_EQ(head->path, "/a/b");
    EXPECT_EQ(head->headers.value("sid"), "uuid:x");
    EXPECT_EQ(head->headers.value("seq"), "0");
    EXPECT_EQ(head->headers.value("nt"), "second"); // a later line replaces an earlier one
    EXPECT_EQ(head->headers.value("sid "), "spaced");
    EXPECT_TRUE(head->headers.contains("x-empty"));
    EXPECT_EQ(head->headers.value("host"), "10.0.0.1:1400"); // only the first colon separates
    EXPECT_EQ(head->headers.size(), 6);
    EXPECT_EQ(head->contentLength, 0);
}

TEST(HttpRequestHead, UnreadableHeads) {
    const QList<QByteArray> heads = {
        "",
        "NOTIFY",
        "   NOTIFY   ",
        "NOTIFY\tpath", // only spaces separate words
        "\r\nNOTIFY /p HTTP/1.1",
        QByteArray("NOTIFY /p\xff HTTP/1.1"),
        QByteArray("NOTIFY /p HTTP/1.1\r\nSID: \xc3"),         // truncated sequence
        QByteArray("NOTIFY /p HTTP/1.1\r\nSID: \xc0\xaf"),     // overlong encoding
        QByteArray("NOTIFY /p HTTP/1.1\r\nSID: \xed\xa0\x80"), // encoded surrogate
    };
    for (const QByteArray& head : heads)
        EXPECT_FALSE(HttpRequestHead::parse(head)) << head.toHex().constData();
}

TEST(HttpRequestHead, ContentLengthValues) {
    const struct {
        const char* value;
        qsizetype length;
    } cases[] = {
        {"10", 10},
        {"+10", 10},
        {"007", 7},
        {"0", 0},
        {"-5", 0},
        {"-0", 0},
        {"", 0},
        {"+", 0},
        {"abc", 0},
        {"10abc", 0},
        {"1 0", 0},
        {"0x10", 0},
        {"9223372036854775807", 9223372036854775807LL},
        {"9223372036854775808", 0}, // beyond 64 bits: not an integer
        {"99999999999999999999999", 0},
        {"\xd9\xa1", 0}, // a non-ASCII digit
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HttpRequestHead::bodyLength(QString::fromUtf8(c.value)), c.length) << c.value;
        const auto head =
            HttpRequestHead::parse(QByteArray("NOTIFY / HTTP/1.1\r\nContent-Length:  ") + c.value);
        ASSERT_TRUE(head);
        EXPECT_EQ(head->contentLength, c.length) << c.value;
    }
}

TEST(HttpRequestReader, WholeBufferRules) {
    // Content-Length 10 with 20 body bytes: the first 10 are the body.
    auto request = HttpRequestReader::parse(notify("Content-Length: 10\r\n", "0123456789abcdefghij"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->body, "0123456789");

    // No Content-Length: complete at the blank line, empty body.
    request = HttpRequestReader::parse(notify("SID: s\r\n", ""));
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->body.isEmpty());

    // Too few body bytes: not complete yet.
    EXPECT_FALSE(HttpRequestReader::parse(notify("Content-Length: 10\r\n", "012345678")));
    // No blank line yet.
    EXPECT_FALSE(HttpRequestReader::parse("NOTIFY / HTTP/1.1\r\nSID: s\r\n"));
    // The first blank line ends the head even when the body holds another.
    request = HttpRequestReader::parse(notify("Content-Length: 4\r\n", "\r\n\r\n"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->body, "\r\n\r\n");
}

// Any split of a request into pieces gives what the whole-buffer reading gives, and the reader
// completes exactly at the piece that brings the last needed byte.
TEST(HttpRequestReader, PiecesMatchWholeBuffer) {
    const QList<QByteArray> inputs = {
        notify("SID: uuid:1\r\nContent-Length: 12\r\n", "<e:x>1</e:x>trailing"),
        notify("", ""),
        "NOTIFY\r\n\r\nNOTIFY / HTTP/1.1\r\n\r\n", // the first blank line decides: never complete
        QByteArray("\xff\xfe / HTTP/1.1\r\n\r\n"),
        "GET /x HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc",
        "\r\n\r\r\n\n\r\n\r\n",
    };
    QRandomGenerator random(7);
    for (const QByteArray& input : inputs) {
        // The shortest prefix that is complete, by the whole-buffer rule.
        qsizetype completeAt = -1;
        for (qsizetype n = 0; n <= input.size() && completeAt < 0; ++n)
            if (HttpRequestReader::parse(QByteArrayView(input).first(n)))
                completeAt = n;
        for (int round = 0; round < 50; ++round) {
            HttpRequestReader reader;
            qsizetype fed = 0;
            while (fed < input.size() && !reader.isComplete()) {
                const qsizetype piece =
                    std::min<qsizetype>(input.size() - fed, 1 + random.bounded(round % 5 + 1));
                reader.append(QByteArrayView(input).sliced(fed, piece));
                fed += piece;
                ASSERT_EQ(reader.received(), fed);
            }
            const auto whole = HttpRequestReader::parse(input);
            ASSERT_EQ(reader.isComplete(), whole.has_value()) << input.constData();
            if (whole) {
                EXPECT_GE(fed, completeAt);
                EXPECT_LT(fed - completeAt, 6); // completed in the piece that brought the last byte
                EXPECT_EQ(reader.request()->body, whole->body);
                EXPECT_EQ(reader.request()->head.headers, whole->head.headers);
                EXPECT_EQ(reader.request()->head.path, whole->head.path);
            }
        }
    }
}

TEST(HttpRequestReader, UnreadableHeadIsCountedNotKept) {
    HttpRequestReader reader;
    reader.append(QByteArray("\xff / HTTP/1.1\r\n\r\n"));
    EXPECT_FALSE(reader.isComplete());
    EXPECT_EQ(reader.retained(), 0);
    reader.append(QByteArray(1000, 'x'));
    EXPECT_EQ(reader.received(), 1016);
    EXPECT_EQ(reader.retained(), 0);
}

} // namespace
