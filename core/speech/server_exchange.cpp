#include "speech/server_exchange.h"

#include "cleanup/chat_exchange.h"
#include "speech/spoken_words.h"
#include "speech/transcript_collector.h"

#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <nlohmann/json.hpp>

#include <algorithm>

namespace talvo::speech {
namespace {

using nlohmann::json;

QHttpPart field(const QByteArray& name, const QByteArray& value) {
  QHttpPart part;
  part.setHeader(QNetworkRequest::ContentDispositionHeader, "form-data; name=\"" + name + "\"");
  part.setBody(value);
  return part;
}

// The form owns nothing but shares the take: QByteArray copies are shallow.
QHttpMultiPart* transcriptionForm(const TranscriptionRequest& request) {
  auto* form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
  QHttpPart file;
  file.setHeader(QNetworkRequest::ContentDispositionHeader,
                 QByteArrayLiteral("form-data; name=\"file\"; filename=\"take.wav\""));
  file.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("audio/wav"));
  file.setBody(request.wav);
  form->append(file);
  form->append(field("response_format", "json"));
  form->append(field("temperature", "0"));
  if (!request.model.isEmpty()) form->append(field("model", request.model.toUtf8()));
  const QString prompt = termsPrompt(request.terms);
  if (!prompt.isEmpty()) form->append(field("prompt", prompt.toUtf8()));
  return form;
}

void addWords(const json& words, std::vector<TextPiece>& pieces) {
  if (!words.is_array()) return;
  for (const json& w : words) {
    if (!w.is_object()) continue;
    const auto text = w.find("word");
    const auto probability = w.find("probability");
    if (text == w.end() || !text->is_string()) continue;
    std::optional<double> confidence;
    if (probability != w.end() && probability->is_number()) confidence = probability->get<double>();
    // Whisper's words carry their leading space; one is added in case a server trims it.
    pieces.push_back({u' ' + QString::fromStdString(text->get<std::string>()), confidence});
  }
}

// Word probabilities, when the server gave any; otherwise nothing.
std::vector<TextPiece> probabilityPieces(const json& answer) {
  std::vector<TextPiece> pieces;
  addWords(answer.value("words", json()), pieces);
  if (pieces.empty()) {
    const json segments = answer.value("segments", json());
    if (segments.is_array())
      for (const json& segment : segments)
        if (segment.is_object()) addWords(segment.value("words", json()), pieces);
  }
  const bool probabilities = std::any_of(
      pieces.begin(), pieces.end(), [](const TextPiece& p) { return p.confidence.has_value(); });
  return probabilities ? pieces : std::vector<TextPiece>{};
}

}  // namespace

QString termsPrompt(const QStringList& terms) {
  return biasTerms(terms).join(QStringLiteral(", "));
}

ServerTranscript serverTranscript(const QByteArray& body) {
  const json answer = json::parse(body.begin(), body.end(), nullptr, false);
  if (answer.is_discarded() || !answer.is_object())
    throw ModelError(QStringLiteral("the speech server's answer is not a JSON object"));
  const auto text = answer.find("text");
  if (text == answer.end() || !text->is_string())
    throw ModelError(QStringLiteral("the speech server's answer has no text"));
  ServerTranscript transcript;
  transcript.text = QString::fromStdString(text->get<std::string>()).simplified();
  if (transcript.text.isEmpty())
    throw ModelError(QStringLiteral("the speech server heard nothing"));
  const std::vector<TextPiece> pieces = probabilityPieces(answer);
  // Without probabilities nothing is known to be doubtful: no word is flagged.
  transcript.words =
      flag(wordsFrom(pieces.empty() ? std::vector<TextPiece>{{transcript.text, {}}} : pieces));
  return transcript;
}

QCoro::Task<ServerTranscript> transcribeOnServer(std::shared_ptr<QNetworkAccessManager> network,
                                                 TranscriptionRequest request,
                                                 Cancellation cancel) {
  QHttpMultiPart* form = transcriptionForm(request);
  QNetworkRequest post = localRequest(request.endpoint);
  post.setHeader(QNetworkRequest::ContentTypeHeader,
                 QByteArray("multipart/form-data; boundary=\"" + form->boundary() + '"'));
  QNetworkReply* reply = network->post(post, form);
  form->setParent(reply);
  QCoro::Task<QByteArray> answering = localAnswer(reply, kMaxTranscriptBytes, std::move(cancel));
  co_return serverTranscript(co_await answering);
}

}  // namespace talvo::speech
