#pragma once

#include "protocol/HttpRequestHead.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Gathers the bytes of one request as they arrive and tells when it is complete: the head up to
// the first CR LF CR LF is readable and at least Content-Length bytes follow it. Feeding the
// bytes in any number of pieces gives the same result as `parse` over all of them at once; the
// blank line is searched only in the newly arrived bytes and the head is read once, so a request
// that trickles in costs no more than one that arrives whole.
//
// With a head limit, a head longer than the limit is never read: once more than that many bytes
// came without a blank line, or the blank line lies beyond it, the reader lets go of its bytes and
// `headTooLarge` tells so; such a request never completes.
class HttpRequestReader {
public:
    HttpRequestReader() = default;
    explicit HttpRequestReader(qsizetype maxHead) : maxHead_(maxHead) {}

    struct Request {
        HttpRequestHead head;
        QByteArray body; // exactly Content-Length bytes; bytes beyond them are not part of it
    };

    // Adds bytes; true once the request is complete (later calls change nothing).
    bool append(QByteArrayView bytes);

    bool isComplete() const { return complete_; }
    bool headTooLarge() const { return headTooLarge_; }
    // The request once complete.
    std::optional<Request> request() const;
    // Every byte appended so far, complete or not: what the size limit of a connection counts.
    qsizetype received() const { return received_; }
    // Bytes this reader holds in memory. A head that cannot be read (or is too large) never
    // completes, so its bytes are counted but not kept.
    qsizetype retained() const { return buffer_.size(); }

    // The whole-buffer reading: the request that the bytes received so far hold, or nothing
    // when it is not complete or its head is not readable.
    static std::optional<Request> parse(QByteArrayView buffer);

private:
    QByteArray buffer_;
    qsizetype received_ = 0;
    qsizetype headEnd_ = -1; // index of the CR LF CR LF, once found
    std::optional<HttpRequestHead> head_;
    bool complete_ = false;
    qsizetype maxHead_ = -1; // no limit
    bool headTooLarge_ = false;
};
