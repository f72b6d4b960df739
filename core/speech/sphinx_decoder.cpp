#include "speech/sphinx_decoder.h"

#include "pipeline/errors.h"

#include <pocketsphinx.h>
#include <sphinxbase/cmn.h>
#include <sphinxbase/err.h>
#include <sphinxbase/feat.h>

#include <QFileInfo>

#include <algorithm>
#include <mutex>

namespace talvo::speech {
namespace {

// -fwdflat no: the second pass costs ~150 ms at the end of each utterance and gains
// nothing here. -vad_threshold 3.0 keeps leading noise from opening an utterance.
// -bestpath stays on: word posteriors exist only with it.
constexpr const char* decoderSettings[] = {"-fwdflat", "no",        "-vad_threshold",
                                           "3.0",      "-bestpath", "yes"};
// How strongly an alias is favoured: its unigram weight relative to an even share.
constexpr float aliasWeight = 200.0f;

const QString acousticFolder = QStringLiteral("en-us");
const QString languageModel = QStringLiteral("en-us.lm.bin");
const QString dictionary = QStringLiteral("cmudict-en-us.dict");
const QString aliasPrefix = QStringLiteral("talvoterm");

void silenceLibraryLog() {
  static std::once_flag once;
  std::call_once(once, [] { err_set_logfp(nullptr); });
}

struct ConfigDeleter {
  void operator()(cmd_ln_t* c) const { cmd_ln_free_r(c); }
};
struct DecoderDeleter {
  void operator()(ps_decoder_t* d) const { ps_free(d); }
};
struct SegDeleter {
  void operator()(ps_seg_t* s) const { ps_seg_free(s); }
};

bool isFiller(const QString& word) {
  return word.isEmpty() || word.startsWith(u'<') || word.startsWith(u'[') || word.startsWith(u'+');
}

}  // namespace

struct SphinxDecoder::Handles {
  std::unique_ptr<cmd_ln_t, ConfigDeleter> config;
  std::unique_ptr<ps_decoder_t, DecoderDeleter> decoder;
  ps_decoder_t* ps() const { return decoder.get(); }
  cmn_t* cmn() const {
    feat_t* feat = ps_get_feat(decoder.get());
    return feat ? feat->cmn_struct : nullptr;
  }
};

QString defaultModelFolder() { return QStringLiteral("/usr/share/pocketsphinx/model/en-us"); }

bool modelFilesPresent(const QString& folder) {
  const QString acoustic = folder + u'/' + acousticFolder;
  for (const QString& path :
       {acoustic + QStringLiteral("/mdef"), acoustic + QStringLiteral("/means"),
        acoustic + QStringLiteral("/variances"), acoustic + QStringLiteral("/feat.params"),
        folder + u'/' + languageModel, folder + u'/' + dictionary}) {
    if (!QFileInfo(path).isFile()) return false;
  }
  return true;
}

std::unique_ptr<SphinxDecoder> SphinxDecoder::load(const QString& folder) {
  if (!modelFilesPresent(folder)) throw DictationError(DictationErrorCode::speechModelMissing);
  silenceLibraryLog();
  const QByteArray hmm = (folder + u'/' + acousticFolder).toLocal8Bit();
  const QByteArray lm = (folder + u'/' + languageModel).toLocal8Bit();
  const QByteArray dict = (folder + u'/' + dictionary).toLocal8Bit();
  auto handles = std::make_unique<Handles>();
  handles->config.reset(cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-lm",
                                    lm.constData(), "-dict", dict.constData(), decoderSettings[0],
                                    decoderSettings[1], decoderSettings[2], decoderSettings[3],
                                    decoderSettings[4], decoderSettings[5], nullptr));
  if (!handles->config)
    throw Error(QStringLiteral("The speech recogniser's settings were refused."));
  handles->decoder.reset(ps_init(handles->config.get()));
  if (!handles->decoder) throw Error(QStringLiteral("The speech model could not be loaded."));
  return std::unique_ptr<SphinxDecoder>(new SphinxDecoder(std::move(handles)));
}

SphinxDecoder::SphinxDecoder(std::unique_ptr<Handles> handles) : h_(std::move(handles)) {}

SphinxDecoder::~SphinxDecoder() {
  if (inUtterance_) ps_end_utt(h_->ps());
}

void SphinxDecoder::startUtterance() {
  if (cmn_t* cmn = h_->cmn()) {
    savedCmn_.assign(std::size_t(std::max(cmn->veclen, 0)), 0.0f);
    cmn_live_get(cmn, savedCmn_.data());
  }
  ps_start_utt(h_->ps());
  inUtterance_ = true;
}

void SphinxDecoder::process(const int16_t* samples, std::size_t count) {
  if (!inUtterance_ || count == 0) return;
  ps_process_raw(h_->ps(), samples, count, FALSE, FALSE);
}

bool SphinxDecoder::inSpeech() const { return inUtterance_ && ps_get_in_speech(h_->ps()) != 0; }

std::vector<TextPiece> SphinxDecoder::hypothesis() const {
  std::vector<TextPiece> pieces;
  int32 score = 0;
  const char* hyp = ps_get_hyp(h_->ps(), &score);
  if (!hyp) return pieces;
  for (const QByteArray& word : QByteArray(hyp).split(' ')) {
    const QString text = cleanWord(word.constData());
    if (!isFiller(text)) pieces.push_back({text + u' ', std::nullopt});
  }
  return pieces;
}

std::vector<TextPiece> SphinxDecoder::endUtterance() {
  std::vector<TextPiece> pieces;
  if (!inUtterance_) return pieces;
  ps_end_utt(h_->ps());
  inUtterance_ = false;
  logmath_t* lmath = ps_get_logmath(h_->ps());
  for (ps_seg_t* seg = ps_seg_iter(h_->ps()); seg; seg = ps_seg_next(seg)) {
    const QString text = cleanWord(ps_seg_word(seg));
    if (isFiller(text)) continue;
    int32 acoustic = 0;
    int32 language = 0;
    int32 backoff = 0;
    const double posterior = logmath_exp(lmath, ps_seg_prob(seg, &acoustic, &language, &backoff));
    pieces.push_back({text + u' ', std::clamp(posterior, 0.0, 1.0)});
  }
  // An utterance of nothing but noise skews the live cepstral mean so far that the next
  // one decodes as garbage: go back to the mean from before it.
  if (pieces.empty() && !savedCmn_.empty()) {
    if (cmn_t* cmn = h_->cmn(); cmn && std::size_t(cmn->veclen) == savedCmn_.size())
      cmn_live_set(cmn, savedCmn_.data());
  }
  return pieces;
}

// Dictionary entries carry alternates as "word(2)"; aliases stand for their term.
QString SphinxDecoder::cleanWord(const char* word) const {
  QString text = QString::fromUtf8(word);
  if (const qsizetype paren = text.indexOf(u'('); paren > 0 && text.endsWith(u')'))
    text.truncate(paren);
  if (const auto alias = aliases_.constFind(text); alias != aliases_.constEnd()) return *alias;
  return text;
}

// The phones of every word of the term in turn, or empty when one is unknown.
QString SphinxDecoder::phonesOf(const QString& term) const {
  QStringList phones;
  const QStringList words = term.toLower().split(u' ', Qt::SkipEmptyParts);
  for (const QString& word : words) {
    char* found = ps_lookup_word(h_->ps(), word.toUtf8().constData());
    if (!found) return {};
    phones.append(QString::fromUtf8(found));
    ckd_free(found);
  }
  return phones.join(u' ');
}

void SphinxDecoder::favour(const QStringList& terms) {
  struct Pending {
    QString alias, term;
    QByteArray phones;
  };
  std::vector<Pending> pending;
  for (const QString& raw : terms) {
    const QString term = raw.simplified();
    if (term.isEmpty() || favoured_.contains(term)) continue;
    favoured_.insert(term);
    const QString phones = phonesOf(term);
    if (phones.isEmpty()) continue;  // the dictionary's corrections handle it
    pending.push_back({aliasPrefix + QString::number(nextAlias_++), term, phones.toUtf8()});
  }
  if (pending.empty()) return;
  ngram_model_t* lm = ps_get_lm(h_->ps(), ps_get_search(h_->ps()));
  for (std::size_t i = 0; i < pending.size(); ++i) {
    const QByteArray alias = pending[i].alias.toUtf8();
    // The weight only takes when the language model learns the word before the
    // dictionary does. Each search update costs ~100 ms, so only the last one updates.
    if (lm) ngram_model_add_word(lm, alias.constData(), aliasWeight);
    const bool last = i + 1 == pending.size();
    if (ps_add_word(h_->ps(), alias.constData(), pending[i].phones.constData(), last) >= 0)
      aliases_.insert(pending[i].alias, pending[i].term);
  }
}

}  // namespace talvo::speech
