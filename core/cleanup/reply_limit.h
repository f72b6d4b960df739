#pragma once

#include <QtGlobal>

class QNetworkReply;

namespace talvo {

// Holds a reply to at most `maxBytes` of body while it is still arriving: the reply reads
// no further ahead than that, and is aborted as soon as the server announces or sends more,
// so a runaway server cannot fill memory. Call before the event loop runs again.
void limitReplySize(QNetworkReply* reply, qint64 maxBytes);

// Whether limitReplySize aborted the reply.
bool cutOffForSize(const QNetworkReply* reply);

}  // namespace talvo
