#pragma once

#include "speech/spoken_words.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

// One loaded recogniser: the acoustic model, dictionary and language model, plus the
// streaming decoder state. Loading costs about 200 ms and 100 MB, so decoders are kept
// and reused. Not thread-safe: one thread at a time drives it.
namespace talvo::speech {

// Where the Debian US-English model lives.
QString defaultModelFolder();
// Whether the folder holds the files a decoder needs.
bool modelFilesPresent(const QString& folder);

class SphinxDecoder {
public:
  // Throws DictationError(speechModelMissing) when the files are missing, and
  // talvo::Error when they are there but cannot be loaded.
  static std::unique_ptr<SphinxDecoder> load(const QString& folder);

  ~SphinxDecoder();
  SphinxDecoder(const SphinxDecoder&) = delete;
  SphinxDecoder& operator=(const SphinxDecoder&) = delete;

  void startUtterance();
  bool inUtterance() const { return inUtterance_; }
  // 16 kHz mono samples.
  void process(const int16_t* samples, std::size_t count);
  // Whether the voice detector currently hears speech.
  bool inSpeech() const;
  // The running guess for the current utterance, without confidences.
  std::vector<TextPiece> hypothesis() const;
  // Ends the utterance; its words with their posterior confidences.
  std::vector<TextPiece> endUtterance();

  // Biases the decoder towards these terms. Terms made only of words the dictionary knows
  // become weighted aliases; the others are left alone. Biasing persists in the decoder.
  void favour(const QStringList& terms);
  const QSet<QString>& favouredTerms() const { return favoured_; }
  // How many terms became aliases, for tests.
  qsizetype aliasCount() const { return aliases_.size(); }

private:
  struct Handles;
  explicit SphinxDecoder(std::unique_ptr<Handles> handles);
  QString cleanWord(const char* word) const;
  QString phonesOf(const QString& term) const;

  std::unique_ptr<Handles> h_;
  bool inUtterance_ = false;
  std::vector<float> savedCmn_;
  int nextAlias_ = 0;
  QHash<QString, QString> aliases_;  // decoder word -> the term it stands for
  QSet<QString> favoured_;           // every term asked for, biased or not
};

}  // namespace talvo::speech
