#pragma once

#include "core/Clock.h"

#include <QCache>
#include <QImage>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QVariantAnimation;

// The loading and showing state behind Artwork: keeps the picture on screen while the next
// one loads, shows the placeholder only when there really is no picture, and shares one
// process-wide cache of 40 decoded pictures.
//
// Takes: setUrl(url or none). Emits: changed() whenever shown picture, placeholder or a
// transition step changes.
// Safety: only http and https URLs are fetched (a speaker-supplied file:, qrc: or data: URL is
// a missing cover); a body larger than 8 MB, or one that does not decode as an image, is a
// missing cover. A superseded download is aborted and its result dropped.
class CoverImage : public QObject {
    Q_OBJECT
public:
    static constexpr int cacheCount = 40;
    static constexpr qint64 maxBytes = 8 * 1024 * 1024;

    explicit CoverImage(QObject* parent = nullptr);
    ~CoverImage() override;

    void setUrl(const std::optional<QUrl>& url);
    // The view showed again: load once more unless the picture for the URL is on screen (a
    // failed URL is tried again).
    void reappear();
    std::optional<QUrl> url() const { return url_; }

    const QImage& shown() const { return shown_; }
    const QImage& previous() const { return previous_; } // fading out during a cross-fade
    std::optional<QUrl> shownUrl() const { return shownUrl_; }
    bool missing() const { return missing_; }
    double crossFade() const { return fade_; }          // 0 … 1: previous → shown
    double placeholder() const { return placeholder_; } // opacity of the music-note placeholder
    bool loading() const { return reply_ != nullptr; }

    // The shared cache (URL text → picture) and the shared network access.
    static const QImage* cached(const QUrl& url);
    static void store(const QUrl& url, const QImage& image);
    static void clearCache();
    static QNetworkAccessManager* network();
    static bool fetchable(const QUrl& url);

signals:
    void changed();

private:
    void load();
    void show(const QUrl& url, const QImage& image);
    void replace(const QImage& image, const std::optional<QUrl>& url);
    void fail();
    void cancelDownload();
    void setMissing(bool missing);
    void finished(QNetworkReply* reply, quint64 generation);

    std::optional<QUrl> url_;
    std::optional<QUrl> shownUrl_;
    QImage shown_;
    QImage previous_;
    bool missing_ = false;
    bool started_ = false;
    double fade_ = 1;
    double placeholder_ = 0;
    quint64 generation_ = 0;
    Clock::Id grace_ = 0;
    QPointer<QNetworkReply> reply_;
    QVariantAnimation* fadeAnimation_ = nullptr;
    QVariantAnimation* placeholderAnimation_ = nullptr;
};
