#pragma once

#include "pipeline/contracts.h"

#include <QNetworkReply>
#include <QUrl>

#include <optional>

namespace talvo {

// Whether the server address may be contacted at all: speech never leaves the machine, so
// only loopback hosts over HTTP(S) qualify. nullopt when it may; otherwise the status to
// report without asking.
std::optional<AIStatus> endpointVerdict(const QUrl& endpoint);

// The address of one API route below the server address, e.g. "v1/models".
QUrl endpointRoute(const QUrl& endpoint, const QString& route);

// What a finished probe of the model list means.
AIStatus probeVerdict(QNetworkReply::NetworkError error, int httpStatus);

}  // namespace talvo
