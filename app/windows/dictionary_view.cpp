#include "windows/dictionary_view.h"

#include "model/app_model.h"
#include "widgets/look.h"
#include "windows/view_parts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvo {

namespace {

QToolButton* removeButton(QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QStringLiteral("remove"));
  button->setAutoRaise(true);
  button->setToolTip(QStringLiteral("Remove"));
  button->setAccessibleName(QStringLiteral("Remove"));
  button->setIcon(look::symbolIcon(QStringLiteral("list-remove-symbolic"), 16,
                                   parent->palette().color(QPalette::WindowText)));
  return button;
}

QLineEdit* field(const QString& name, const QString& prompt, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setPlaceholderText(prompt);
  return edit;
}

QWidget* section(const QString& header, const QString& footer, QVBoxLayout*& rows,
                 QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 6);
  layout->addWidget(parts::title(header, box, 13));
  QFrame* card = parts::card(box);
  rows = parts::cardLayout(card);
  layout->addWidget(card);
  layout->addWidget(parts::note(footer, box));
  return box;
}

}  // namespace

DictionaryView::DictionaryView(AppModel* model, QWidget* parent) : QWidget(parent), model_(model) {
  QVBoxLayout* layout = parts::scrollingPage(this, QStringLiteral("Dictionary"));
  QWidget* content = layout->parentWidget();

  QVBoxLayout* wordCard = nullptr;
  layout->addWidget(section(
      QStringLiteral("Spell these right"),
      QStringLiteral("Names, places, slang. Talvo listens out for them and keeps your spelling."),
      wordCard, content));
  words_ = new QVBoxLayout;
  wordCard->addLayout(words_);
  auto* wordEntry = new QHBoxLayout;
  newWord_ = field(QStringLiteral("newWord"), QStringLiteral("Add a name or word"), content);
  addWord_ = new QPushButton(QStringLiteral("Add"), content);
  addWord_->setObjectName(QStringLiteral("addWord"));
  wordEntry->addWidget(newWord_, 1);
  wordEntry->addWidget(addWord_);
  wordCard->addLayout(wordEntry);

  QVBoxLayout* fixCard = nullptr;
  layout->addWidget(
      section(QStringLiteral("Fixes"),
              QStringLiteral("For words it keeps getting wrong. Example: Wakutane → Whakatane."),
              fixCard, content));
  fixes_ = new QVBoxLayout;
  fixCard->addLayout(fixes_);
  auto* fixEntry = new QHBoxLayout;
  heard_ = field(QStringLiteral("heard"), QStringLiteral("When it types"), content);
  meant_ = field(QStringLiteral("meant"), QStringLiteral("type this instead"), content);
  addFix_ = new QPushButton(QStringLiteral("Add"), content);
  addFix_->setObjectName(QStringLiteral("addFix"));
  fixEntry->addWidget(heard_, 1);
  fixEntry->addWidget(parts::symbolLabel(QStringLiteral("go-next-symbolic"), 14,
                                         look::secondary(palette()), content));
  fixEntry->addWidget(meant_, 1);
  fixEntry->addWidget(addFix_);
  fixCard->addLayout(fixEntry);
  layout->addStretch();

  connect(newWord_, &QLineEdit::textChanged, this, [this] { updateButtons(); });
  connect(heard_, &QLineEdit::textChanged, this, [this] { updateButtons(); });
  connect(meant_, &QLineEdit::textChanged, this, [this] { updateButtons(); });
  connect(addWord_, &QPushButton::clicked, this, [this] { addWord(); });
  connect(newWord_, &QLineEdit::returnPressed, this, [this] { addWord(); });
  connect(addFix_, &QPushButton::clicked, this, [this] { addFix(); });
  connect(heard_, &QLineEdit::returnPressed, this, [this] { addFix(); });
  connect(meant_, &QLineEdit::returnPressed, this, [this] { addFix(); });
  connect(model, &AppModel::dictionaryChanged, this, [this] { rebuild(); });
  rebuild();
  updateButtons();
}

void DictionaryView::updateButtons() {
  addWord_->setEnabled(!newWord_->text().trimmed().isEmpty());
  addFix_->setEnabled(!heard_->text().trimmed().isEmpty() && !meant_->text().trimmed().isEmpty());
}

void DictionaryView::rebuild() {
  if (!model_) return;
  parts::clear(words_);
  parts::clear(fixes_);
  const UserDictionary& dictionary = model_->dictionary();
  for (const QString& word : dictionary.words) {
    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("wordRow"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(word, row), 1);
    QToolButton* remove = removeButton(row);
    connect(remove, &QToolButton::clicked, this, [this, word] { removeWord(word); });
    layout->addWidget(remove);
    words_->addWidget(row);
  }
  for (std::size_t i = 0; i < dictionary.fixes.size(); ++i) {
    const auto& fix = dictionary.fixes[i];
    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("fixRow"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(parts::note(fix.heard, row, 13));
    layout->addWidget(parts::symbolLabel(QStringLiteral("go-next-symbolic"), 14,
                                         look::secondary(palette()), row));
    layout->addWidget(new QLabel(fix.meant, row), 1);
    QToolButton* remove = removeButton(row);
    const int index = static_cast<int>(i);
    connect(remove, &QToolButton::clicked, this, [this, index] { removeFix(index); });
    layout->addWidget(remove);
    fixes_->addWidget(row);
  }
}

void DictionaryView::addWord() {
  const QString word = newWord_->text().trimmed();
  if (word.isEmpty() || !model_) return;
  UserDictionary dictionary = model_->dictionary();
  dictionary.addWord(word);
  model_->setDictionary(dictionary);
  model_->saveDictionary();
  newWord_->clear();
}

void DictionaryView::addFix() {
  const QString heard = heard_->text().trimmed();
  const QString meant = meant_->text().trimmed();
  if (heard.isEmpty() || meant.isEmpty() || !model_) return;
  UserDictionary dictionary = model_->dictionary();
  dictionary.addFix(heard, meant);
  model_->setDictionary(dictionary);
  model_->saveDictionary();
  heard_->clear();
  meant_->clear();
}

void DictionaryView::removeWord(const QString& word) {
  if (!model_) return;
  UserDictionary dictionary = model_->dictionary();
  dictionary.words.removeAll(word);
  model_->setDictionary(dictionary);
  model_->saveDictionary();
}

void DictionaryView::removeFix(int index) {
  if (!model_) return;
  UserDictionary dictionary = model_->dictionary();
  if (index >= static_cast<int>(dictionary.fixes.size())) return;
  dictionary.fixes.erase(dictionary.fixes.begin() + index);
  model_->setDictionary(dictionary);
  model_->saveDictionary();
}

}  // namespace talvo
