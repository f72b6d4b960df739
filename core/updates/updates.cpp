#include "updates/updates.h"

#include "pipeline/errors.h"
#include "storage/log.h"

#include <QCoroNetworkReply>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScopeGuard>

#include <memory>
#include <vector>

namespace talvo::Updates {
namespace {

std::vector<qint64> components(const QString& version) {
  std::vector<qint64> result;
  for (const QString& piece : version.split('.', Qt::SkipEmptyParts)) {
    qsizetype digits = 0;
    while (digits < piece.size() && piece[digits] >= '0' && piece[digits] <= '9') ++digits;
    bool ok = false;
    const qint64 value = QStringView(piece).left(digits).toLongLong(&ok);
    result.push_back(ok ? value : 0);
  }
  return result;
}

void skipped(const QString& reason) {
  Log::info(QStringLiteral("update check skipped: ") + reason);
}

// What arrived so far; the request is abandoned once it outgrows a version document.
struct Download {
  QByteArray body;
  bool tooLarge = false;
};

void collect(QNetworkReply* reply, const std::shared_ptr<Download>& download) {
  const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
  const bool announcedTooLarge = length.isValid() && length.toLongLong() > kMaxDocumentBytes;
  if (!announcedTooLarge) {
    download->body += reply->read(kMaxDocumentBytes + 1 - download->body.size());
    if (download->body.size() <= kMaxDocumentBytes && reply->bytesAvailable() == 0) return;
  }
  download->tooLarge = true;
  reply->abort();
}

}  // namespace

QUrl feed() {
  static const QUrl address(QStringLiteral(TALVO_UPDATE_FEED), QUrl::StrictMode);
  return address;
}

bool usableFeed(const QUrl& url) {
  if (!url.isValid() || url.host().isEmpty()) return false;
  if (url.scheme() == QLatin1String("https")) return true;
  if (url.scheme() != QLatin1String("http")) return false;
  return url.host() == QLatin1String("localhost") || QHostAddress(url.host()).isLoopback();
}

QCoro::Task<std::optional<UpdateInfo>> check(QString current) {
  co_return co_await check(std::move(current), feed(), kRequestTimeout);
}

QCoro::Task<std::optional<UpdateInfo>> check(QString current, QUrl address, double timeoutSeconds) {
  if (address.isEmpty()) co_return std::nullopt;
  if (!usableFeed(address)) {
    skipped(QStringLiteral("The feed address must use https."));
    co_return std::nullopt;
  }
  // Deleted later, never here: abort() inside collect() finishes the reply, which resumes this
  // coroutine synchronously, inside the reply's own signal; destroying the reply and its manager
  // then would pull them from under Qt's code that is still running on them.
  auto* network = new QNetworkAccessManager;
  const auto release = qScopeGuard([network] { network->deleteLater(); });
  QNetworkRequest request(address);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::UserVerifiedRedirectPolicy);
  request.setTransferTimeout(int(timeoutSeconds * 1000));

  QNetworkReply* raw = network->get(request);  // a child of the manager
  auto download = std::make_shared<Download>();
  // A redirect may not lead anywhere the feed itself could not be.
  QObject::connect(raw, &QNetworkReply::redirected, raw, [raw](const QUrl& target) {
    if (usableFeed(target))
      emit raw->redirectAllowed();
    else
      raw->abort();
  });
  QObject::connect(raw, &QNetworkReply::metaDataChanged, raw,
                   [raw, download] { collect(raw, download); });
  QObject::connect(raw, &QNetworkReply::readyRead, raw,
                   [raw, download] { collect(raw, download); });
  co_await raw;

  if (download->tooLarge) {
    skipped(
        QStringLiteral("The version document is larger than %1 KB.").arg(kMaxDocumentBytes / 1024));
    co_return std::nullopt;
  }
  const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (status.isValid() && status.toInt() != 200) co_return std::nullopt;
  if (raw->error() == QNetworkReply::OperationCanceledError ||
      raw->error() == QNetworkReply::TimeoutError) {
    skipped(QStringLiteral("The request timed out."));
    co_return std::nullopt;
  }
  if (raw->error() != QNetworkReply::NoError) {
    skipped(raw->errorString());
    co_return std::nullopt;
  }
  if (!status.isValid()) co_return std::nullopt;
  download->body += raw->readAll();
  try {
    UpdateInfo info = UpdateInfo::decode(download->body);
    if (isNewer(info.version, current)) co_return info;
  } catch (const Error& error) {
    skipped(error.message());
  }
  co_return std::nullopt;
}

bool isNewer(const QString& a, const QString& than) {
  const std::vector<qint64> left = components(a);
  const std::vector<qint64> right = components(than);
  for (size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
    const qint64 x = i < left.size() ? left[i] : 0;
    const qint64 y = i < right.size() ? right[i] : 0;
    if (x != y) return x > y;
  }
  return false;
}

}  // namespace talvo::Updates
