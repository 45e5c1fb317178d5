#include "ui/kit/CoverImage.h"

#include "ui/kit/Motion.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QVariantAnimation>

namespace {
QCache<QString, QImage>& cache() {
    static QCache<QString, QImage> pictures(CoverImage::cacheCount);
    return pictures;
}
QString key(const QUrl& url) {
    return url.toString(QUrl::FullyEncoded);
}
} // namespace

CoverImage::CoverImage(QObject* parent) : QObject(parent) {}

CoverImage::~CoverImage() {
    cancelDownload();
    if (grace_)
        Clock::cancel(grace_);
}

const QImage* CoverImage::cached(const QUrl& url) {
    return cache().object(key(url));
}

void CoverImage::store(const QUrl& url, const QImage& image) {
    cache().insert(key(url), new QImage(image), 1);
}

void CoverImage::clearCache() {
    cache().clear();
}

QNetworkAccessManager* CoverImage::network() {
    // One manager for the life of the program (replies must never outlive theirs).
    static QNetworkAccessManager* manager = [] {
        auto* m = new QNetworkAccessManager(QCoreApplication::instance());
        m->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        return m;
    }();
    return manager;
}

bool CoverImage::fetchable(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

void CoverImage::setUrl(const std::optional<QUrl>& url) {
    if (url == url_ && started_)
        return; // bound to the URL: the same URL does not load again
    url_ = url;
    started_ = true;
    load();
}

void CoverImage::reappear() {
    if (!started_ || reply_ || grace_)
        return;
    load();
}

void CoverImage::cancelDownload() {
    if (reply_) {
        QNetworkReply* reply = reply_;
        reply_ = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void CoverImage::load() {
    ++generation_; // a newer load: whatever an older one brings is dropped
    cancelDownload();
    if (grace_) {
        Clock::cancel(grace_);
        grace_ = 0;
    }
    if (!url_) {
        // Keep the picture 1.5 s: the URL often comes back (a track change in between).
        grace_ = Clock::schedule(Motion::coverGrace, this, [this] {
            grace_ = 0;
            fail();
        });
        return;
    }
    const QUrl url = *url_;
    if (shownUrl_ && *shownUrl_ == url)
        return;
    if (const QImage* hit = cached(url)) {
        show(url, *hit);
        return;
    }
    if (!fetchable(url)) {
        fail();
        return;
    }
    QNetworkRequest request(url);
    QNetworkReply* reply = network()->get(request);
    reply_ = reply;
    const quint64 generation = generation_;
    const auto tooLarge = [this, reply, generation](qint64 bytes) {
        if (bytes > maxBytes && reply_ == reply && generation == generation_) {
            cancelDownload();
            fail();
        }
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, tooLarge] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid())
            tooLarge(length.toLongLong());
    });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [tooLarge](qint64 received, qint64) { tooLarge(received); });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, generation] { finished(reply, generation); });
}

void CoverImage::finished(QNetworkReply* reply, quint64 generation) {
    reply->deleteLater();
    if (reply_ != reply || generation != generation_)
        return;
    reply_ = nullptr;
    if (reply->error() != QNetworkReply::NoError) {
        fail();
        return;
    }
    const QByteArray body = reply->readAll();
    if (body.size() > maxBytes) {
        fail();
        return;
    }
    QImage image = QImage::fromData(body);
    if (image.isNull()) {
        fail();
        return;
    }
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QUrl url = *url_;
    store(url, image);
    show(url, image);
}

void CoverImage::replace(const QImage& image, const std::optional<QUrl>& url) {
    // The picture leaving fades out while the new one (or nothing) fades in.
    previous_ = shown_;
    shown_ = image;
    shownUrl_ = url;
    Motion::animate(this, fadeAnimation_, 0, 1, Motion::coverCrossFade, Motion::panelCurve(),
                    [this](double p) {
                        fade_ = p;
                        if (p >= 1)
                            previous_ = QImage();
                        emit changed();
                    });
    emit changed();
}

void CoverImage::show(const QUrl& url, const QImage& image) {
    replace(image, url);
    setMissing(false);
}

void CoverImage::fail() {
    replace(QImage(), std::nullopt);
    setMissing(true);
}

void CoverImage::setMissing(bool missing) {
    if (missing == missing_)
        return;
    missing_ = missing;
    Motion::animate(this, placeholderAnimation_, placeholder_, missing ? 1.0 : 0.0, Motion::coverMissing,
                    Motion::panelCurve(), [this](double p) {
                        placeholder_ = p;
                        emit changed();
                    });
}
