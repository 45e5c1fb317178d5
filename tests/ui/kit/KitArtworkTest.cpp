// Cover artwork against a small HTTP server on loopback: cache, keeping the old picture,
// cancellation of superseded downloads, the grace period, and the safety rules (http and https
// only, 8 MB cap, non-image bodies are a missing cover). TV artwork and the default radius.
#include "support/ManualTime.h"
#include "ui/kit/Artwork.h"
#include "ui/kit/CoverImage.h"
#include "ui/kit/Ink.h"
#include "ui/kit/TVArtwork.h"

#include <QBuffer>
#include <QHash>
#include <QPainter>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

QByteArray png(QColor color) {
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Answers GET requests by path; "/slow-*" answers are held until release().
class CoverServer : public QObject {
public:
    CoverServer() {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        EXPECT_TRUE(server_.listen(QHostAddress(QStringLiteral(TAMBER_TEST_NET ".1"))));
    }
    QUrl url(const QString& path) const {
        return QUrl(QStringLiteral("http://%1:%2%3")
                        .arg(QStringLiteral(TAMBER_TEST_NET ".1"))
                        .arg(server_.serverPort())
                        .arg(path));
    }
    int hits(const QString& path) const { return hits_.value(path); }
    void release(const QString& path) {
        if (QPointer<QTcpSocket> socket = held_.take(path))
            answer(socket, path);
    }

private:
    void read(QTcpSocket* socket) {
        buffer_[socket] += socket->readAll();
        if (!buffer_[socket].contains("\r\n\r\n"))
            return;
        const QByteArray line = buffer_.take(socket).split('\r').first();
        const QString path = QString::fromLatin1(line.split(' ').value(1));
        hits_[path] += 1;
        if (path.startsWith(u"/slow"))
            held_.insert(path, socket);
        else
            answer(socket, path);
    }
    static void reply(QTcpSocket* socket, const QByteArray& status, const QByteArray& type,
                      const QByteArray& body) {
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                      "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) +
                      "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }
    void answer(QTcpSocket* socket, const QString& path) {
        if (path.contains(u"red"))
            reply(socket, "200 OK", "image/png", png(Qt::red));
        else if (path.contains(u"blue"))
            reply(socket, "200 OK", "image/png", png(Qt::blue));
        else if (path == u"/text")
            reply(socket, "200 OK", "text/plain", "no picture here");
        else if (path == u"/fail")
            reply(socket, "500 Internal Server Error", "image/png", png(Qt::red));
        else if (path == u"/huge-stated") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 9437184\r\n\r\n");
            socket->write(png(Qt::red)); // the rest never comes: the size alone refuses it
        } else if (path == u"/huge-chunked") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nTransfer-Encoding: chunked\r\n\r\n");
            const QByteArray chunk(1024 * 1024, 'x');
            for (int i = 0; i < 9; ++i)
                socket->write(QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n");
            socket->write("0\r\n\r\n");
            socket->disconnectFromHost();
        } else
            reply(socket, "404 Not Found", "text/plain", "");
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffer_;
    QHash<QString, QPointer<QTcpSocket>> held_;
    QHash<QString, int> hits_;
};

QRgb shownColour(const CoverImage& cover) {
    return cover.shown().isNull() ? 0 : cover.shown().pixel(4, 4);
}

class Covers : public ::testing::Test {
protected:
    Covers() { CoverImage::clearCache(); }
    bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 10000); }
    test::ManualTime time;
    CoverServer server;
};

TEST_F(Covers, FirstPictureShowsAndComesFromTheCacheNextTime) {
    Artwork art(38);
    art.setUrl(server.url(QStringLiteral("/red.png")));
    ASSERT_TRUE(waitFor([&] { return !art.cover().shown().isNull(); }));
    EXPECT_EQ(shownColour(art.cover()), qRgb(255, 0, 0));
    EXPECT_FALSE(art.cover().missing());

    Artwork other(24);
    other.setUrl(server.url(QStringLiteral("/red.png")));
    EXPECT_FALSE(other.cover().shown().isNull()); // at once, from the cache
    EXPECT_EQ(server.hits(QStringLiteral("/red.png")), 1);
    art.setUrl(server.url(QStringLiteral("/red.png"))); // the same URL again costs nothing
    EXPECT_EQ(server.hits(QStringLiteral("/red.png")), 1);
}

TEST_F(Covers, OldPictureStaysUntilTheNextArrivesThenCrossFades) {
    Artwork art(38);
    art.setUrl(server.url(QStringLiteral("/red.png")));
    ASSERT_TRUE(waitFor([&] { return !art.cover().shown().isNull(); }));
    time.advance(400ms);
    art.setUrl(server.url(QStringLiteral("/slow-blue.png")));
    ASSERT_TRUE(waitFor([&] { return server.hits(QStringLiteral("/slow-blue.png")) == 1; }));
    time.advance(2s);
    EXPECT_EQ(shownColour(art.cover()), qRgb(255, 0, 0)); // still the old picture
    EXPECT_FALSE(art.cover().missing());
    server.release(QStringLiteral("/slow-blue.png"));
    ASSERT_TRUE(waitFor([&] { return shownColour(art.cover()) == qRgb(0, 0, 255); }));
    EXPECT_EQ(art.cover().previous().pixel(4, 4), qRgb(255, 0, 0));
    time.advance(150ms);
    EXPECT_GT(art.cover().crossFade(), 0.5);
    EXPECT_LT(art.cover().crossFade(), 1.0);
    time.advance(200ms);
    EXPECT_DOUBLE_EQ(art.cover().crossFade(), 1.0);
    EXPECT_TRUE(art.cover().previous().isNull());
}

TEST_F(Covers, UrlGoneBrieflyKeepsThePictureWithoutDownloadGoneLongerShowsThePlaceholder) {
    Artwork art(38);
    const QUrl red = server.url(QStringLiteral("/red.png"));
    art.setUrl(red);
    ASSERT_TRUE(waitFor([&] { return !art.cover().shown().isNull(); }));
    CoverImage::clearCache(); // so that a second download would show
    art.setUrl(std::nullopt);
    time.advance(1400ms);
    art.setUrl(red);
    time.advance(1s);
    EXPECT_FALSE(art.cover().missing());
    EXPECT_EQ(shownColour(art.cover()), qRgb(255, 0, 0));
    EXPECT_EQ(server.hits(QStringLiteral("/red.png")), 1);

    art.setUrl(std::nullopt);
    time.advance(1490ms);
    EXPECT_FALSE(art.cover().missing());
    time.advance(20ms);
    EXPECT_TRUE(art.cover().missing());
    time.advance(300ms);
    EXPECT_DOUBLE_EQ(art.cover().placeholder(), 1.0);
    EXPECT_TRUE(art.cover().shown().isNull());
}

TEST_F(Covers, SupersededDownloadIsDroppedAndAborted) {
    Artwork art(38);
    art.setUrl(server.url(QStringLiteral("/slow-red.png")));
    ASSERT_TRUE(waitFor([&] { return server.hits(QStringLiteral("/slow-red.png")) == 1; }));
    art.setUrl(server.url(QStringLiteral("/blue.png")));
    ASSERT_TRUE(waitFor([&] { return !art.cover().shown().isNull(); }));
    server.release(QStringLiteral("/slow-red.png"));
    QTest::qWait(50);
    EXPECT_EQ(shownColour(art.cover()), qRgb(0, 0, 255));
    EXPECT_EQ(CoverImage::cached(server.url(QStringLiteral("/slow-red.png"))), nullptr);
}

TEST_F(Covers, UnsafeOrBadAnswersAreAMissingCover) {
    struct Case {
        QUrl url;
        bool requested;
    };
    const Case cases[] = {
        {server.url(QStringLiteral("/fail")), true},
        {server.url(QStringLiteral("/text")), true},
        {server.url(QStringLiteral("/huge-stated")), true},
        {server.url(QStringLiteral("/huge-chunked")), true},
        {QUrl(QStringLiteral("file:///etc/passwd")), false},
        {QUrl(QStringLiteral("qrc:/tamber.svg")), false},
        {QUrl(QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png(Qt::red).toBase64())),
         false},
        {QUrl(QStringLiteral("ftp://" TAMBER_TEST_NET ".1/x.png")), false},
    };
    for (const Case& c : cases) {
        Artwork art(38);
        art.setUrl(server.url(QStringLiteral("/red.png")));
        ASSERT_TRUE(waitFor([&] { return !art.cover().shown().isNull(); }));
        art.setUrl(c.url);
        ASSERT_TRUE(waitFor([&] { return art.cover().missing(); }))
            << c.url.toString().left(60).toStdString();
        EXPECT_TRUE(art.cover().shown().isNull());
        EXPECT_FALSE(art.cover().loading());
        EXPECT_EQ(CoverImage::cached(c.url), nullptr);
        if (c.requested) {
            EXPECT_GE(server.hits(c.url.path()), 1);
        }
    }
}

TEST_F(Covers, FailedUrlIsTriedAgainWhenTheViewShowsAgain) {
    QWidget root;
    Artwork art(38, std::nullopt, &root);
    root.show();
    art.setUrl(server.url(QStringLiteral("/fail")));
    ASSERT_TRUE(waitFor([&] { return art.cover().missing(); }));
    art.setUrl(server.url(QStringLiteral("/fail"))); // the same URL from the caller: bound, no reload
    QTest::qWait(20);
    EXPECT_EQ(server.hits(QStringLiteral("/fail")), 1);
    art.hide();
    art.show();
    ASSERT_TRUE(waitFor([&] { return server.hits(QStringLiteral("/fail")) == 2; }));
}

TEST_F(Covers, CacheHoldsFortyPictures) {
    for (int i = 0; i < 45; ++i) {
        QImage image(2, 2, QImage::Format_ARGB32);
        CoverImage::store(QUrl(QStringLiteral("http://x.invalid/%1").arg(i)), image);
    }
    int held = 0;
    for (int i = 0; i < 45; ++i)
        held += CoverImage::cached(QUrl(QStringLiteral("http://x.invalid/%1").arg(i))) != nullptr;
    EXPECT_EQ(held, 40);
}

TEST(ArtworkGeometry, DefaultRadiusAndTvPicture) {
    Artwork art(50);
    EXPECT_DOUBLE_EQ(art.radius(), 9);
    EXPECT_EQ(art.sizeHint(), QSize(50, 50));
    Artwork round(50, 4);
    EXPECT_DOUBLE_EQ(round.radius(), 4);

    TVArtwork tv(40);
    tv.resize(tv.sizeHint());
    QImage image(QSize(80, 80), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    tv.render(&image);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);        // rounded corner
    const QColor bottom = image.pixelColor(76, 70); // the darker end of the gradient
    EXPECT_LT(bottom.lightness(), image.pixelColor(8, 30).lightness());
    EXPECT_GT(image.pixelColor(40, 36).lightness(), 200); // the white tv glyph in the middle
}

} // namespace
