#pragma once

#include "pipeline/cancellation.h"
#include "pipeline/records.h"

#include <QByteArray>
#include <QCoroTask>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <vector>

class QNetworkAccessManager;

// One transcription request to a local Whisper-class server: whisper.cpp's /inference or
// an OpenAI-compatible /v1/audio/transcriptions. Both take the same multipart form.
namespace talvo::speech {

// Answers above this size are refused while they are still being read.
constexpr qint64 kMaxTranscriptBytes = qint64(64) * 1024;

struct TranscriptionRequest {
  QUrl endpoint;
  QString model;      // sent only when set: a single-model server needs none
  QStringList terms;  // the dictionary's terms, sent as the prompt that biases spelling
  QByteArray wav;

  bool operator==(const TranscriptionRequest&) const = default;
};

struct ServerTranscript {
  QString text;
  std::vector<SpokenWord> words;  // flagged only when the server gave word probabilities

  bool operator==(const ServerTranscript&) const = default;
};

// The prompt for these terms: the first ones a recognition session would be biased
// towards, joined by ", "; empty without terms.
QString termsPrompt(const QStringList& terms);

// The transcript in a JSON answer: "text", with "words" (top level or per segment)
// carrying "word" and "probability" when the server gives them. Throws ModelError for a
// body that is not such an object, or whose text is blank.
ServerTranscript serverTranscript(const QByteArray& body);

// Sends the take and returns the transcript. Cancelling aborts the request on the wire.
// Throws ModelError for an HTTP failure, an oversized, malformed or empty answer.
QCoro::Task<ServerTranscript> transcribeOnServer(std::shared_ptr<QNetworkAccessManager> network,
                                                 TranscriptionRequest request, Cancellation cancel);

}  // namespace talvo::speech
