#include "cleanup/reply_limit.h"

#include <QNetworkReply>
#include <QPointer>

namespace talvo {
namespace {

constexpr char kCutOff[] = "talvoCutOffForSize";

}  // namespace

void limitReplySize(QNetworkReply* reply, qint64 maxBytes) {
  // One byte over the limit is enough to know the body is too large.
  reply->setReadBufferSize(maxBytes + 1);
  QPointer<QNetworkReply> guard = reply;
  auto check = [guard, maxBytes] {
    if (!guard || cutOffForSize(guard)) return;
    const QVariant announced = guard->header(QNetworkRequest::ContentLengthHeader);
    if (guard->bytesAvailable() > maxBytes ||
        (announced.isValid() && announced.toLongLong() > maxBytes)) {
      guard->setProperty(kCutOff, true);
      guard->abort();
    }
  };
  QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, check);
  QObject::connect(reply, &QNetworkReply::readyRead, reply, check);
}

bool cutOffForSize(const QNetworkReply* reply) { return reply->property(kCutOff).toBool(); }

}  // namespace talvo
