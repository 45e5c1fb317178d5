#include "protocol/HttpRequestReader.h"

namespace {
constexpr QByteArrayView blankLine("\r\n\r\n");
}

bool HttpRequestReader::append(QByteArrayView bytes) {
    if (complete_)
        return true;
    received_ += bytes.size();
    if (headTooLarge_ || (headEnd_ >= 0 && !head_))
        return false; // unreadable or oversized head: the request can never complete

    const qsizetype searchFrom = std::max<qsizetype>(0, buffer_.size() - (blankLine.size() - 1));
    buffer_.append(bytes);
    if (headEnd_ < 0) {
        const qsizetype found = buffer_.indexOf(blankLine, searchFrom);
        const bool limited = maxHead_ >= 0;
        if (limited &&
            (found > maxHead_ || (found < 0 && buffer_.size() - (blankLine.size() - 1) > maxHead_))) {
            headTooLarge_ = true;
            buffer_ = QByteArray();
            return false;
        }
        if (found < 0)
            return false;
        headEnd_ = found;
        head_ = HttpRequestHead::parse(QByteArrayView(buffer_).first(found));
        if (!head_) {
            buffer_ = QByteArray();
            return false;
        }
    }
    complete_ = buffer_.size() - (headEnd_ + blankLine.size()) >= head_->contentLength;
    return complete_;
}

std::optional<HttpRequestReader::Request> HttpRequestReader::request() const {
    if (!complete_)
        return std::nullopt;
    return Request{*head_, buffer_.mid(headEnd_ + blankLine.size(), head_->contentLength)};
}

std::optional<HttpRequestReader::Request> HttpRequestReader::parse(QByteArrayView buffer) {
    const qsizetype end = buffer.indexOf(blankLine);
    if (end < 0)
        return std::nullopt;
    std::optional<HttpRequestHead> head = HttpRequestHead::parse(buffer.first(end));
    if (!head)
        return std::nullopt;
    const QByteArrayView rest = buffer.sliced(end + blankLine.size());
    if (rest.size() < head->contentLength)
        return std::nullopt;
    QByteArray body = rest.first(head->contentLength).toByteArray();
    return Request{std::move(*head), std::move(body)};
}
