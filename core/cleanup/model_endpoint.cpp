#include "cleanup/model_endpoint.h"

#include <QHostAddress>

namespace talvo {

std::optional<AIStatus> endpointVerdict(const QUrl& endpoint) {
  if (!endpoint.isValid() || endpoint.host().isEmpty()) return AIStatus::unknown;
  const QString scheme = endpoint.scheme().toLower();
  if (scheme != u"http" && scheme != u"https") return AIStatus::unknown;
  const QString host = endpoint.host().toLower();
  if (host == u"localhost") return std::nullopt;
  const QHostAddress address(host);
  if (!address.isNull() && address.isLoopback()) return std::nullopt;
  return AIStatus::notEligible;
}

QUrl endpointRoute(const QUrl& endpoint, const QString& route) {
  QUrl url = endpoint;
  QString path = url.path();
  while (path.endsWith(u'/')) path.chop(1);
  url.setPath(path + u'/' + route);
  url.setQuery(QString());
  url.setFragment(QString());
  return url;
}

AIStatus probeVerdict(QNetworkReply::NetworkError error, int httpStatus) {
  if (httpStatus == 503) return AIStatus::downloading;
  if (httpStatus >= 200 && httpStatus < 300 && error == QNetworkReply::NoError)
    return AIStatus::ready;
  if (error == QNetworkReply::ConnectionRefusedError) return AIStatus::turnedOff;
  return AIStatus::unknown;
}

}  // namespace talvo
