#include "fixcard/fix_word_view.h"

#include "fixcard/fix_rules.h"
#include "fixcard/flow_layout.h"
#include "widgets/look.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvo {
namespace {

constexpr int padding = 16;
constexpr int sectionGap = 14;
constexpr int chipGap = 6;
constexpr double wordPoints = 14;
constexpr double hintPoints = 11;
constexpr double savedPoints = 12;
constexpr int chipPadX = 10;
constexpr int chipPadY = 5;
constexpr double chipRadius = 7;
constexpr int chipTint = 40;  // alpha of a chip's fill

QLabel* label(const QString& text, double points, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setFont(look::font(points));
  return l;
}

QLabel* symbolLabel(const QString& name, int size, const QColor& tint, QWidget* parent) {
  auto* l = new QLabel(parent);
  // Drawn at twice the size, so it stays sharp on dense screens and in the pictures.
  l->setPixmap(look::symbol(name, size, tint, look::sharpScale));
  l->setFixedSize(size, size);
  return l;
}

}  // namespace

// One word of the dictation, as a chip to click.
class WordChip final : public QAbstractButton {
public:
  WordChip(const SpokenWord& word, QWidget* parent) : QAbstractButton(parent), word_(word) {
    setText(word.text);
    setFont(look::font(wordPoints));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
  }
  void setPicked(bool on) {
    picked_ = on;
    update();
  }
  QSize sizeHint() const override {
    const QFontMetrics m(font());
    return QSize(m.horizontalAdvance(text()) + 2 * chipPadX, m.height() + 2 * chipPadY);
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill =
        picked_ ? palette().color(QPalette::Highlight) : palette().color(QPalette::WindowText);
    fill.setAlpha(picked_ ? 2 * chipTint : chipTint / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), chipRadius, chipRadius);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect(), Qt::AlignCenter, text());
    if (!word_.unsure) return;
    const QFontMetricsF m(font());
    const double y = rect().center().y() + m.ascent() / 2 + m.descent() / 2 + 1;
    QPen pen(look::orange(), 1.5, Qt::DashLine);
    p.setPen(pen);
    p.drawLine(QPointF(chipPadX, y), QPointF(width() - chipPadX, y));
  }

private:
  SpokenWord word_;
  bool picked_ = false;
};

FixWordView::FixWordView(std::vector<SpokenWord> words, SaveHandler onSave,
                         std::function<void()> onClose, QWidget* parent)
    : QWidget(parent),
      words_(std::move(words)),
      onSave_(std::move(onSave)),
      onClose_(std::move(onClose)) {
  build();
  sync();
}

void FixWordView::build() {
  setAutoFillBackground(true);
  setFixedWidth(width);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(padding, padding, padding, padding);
  column->setSpacing(sectionGap);
  column->setSizeConstraint(QLayout::SetMinimumSize);

  auto* header = new QHBoxLayout;
  title_ = label({}, wordPoints, this);
  title_->setFont(look::font(wordPoints, QFont::DemiBold));
  closeButton_ = new QToolButton(this);
  closeButton_->setIcon(
      look::symbolIcon(QStringLiteral("xmark"), 16, palette().color(QPalette::WindowText)));
  closeButton_->setToolTip(QStringLiteral("Close (Esc)"));
  closeButton_->setAccessibleName(QStringLiteral("Close"));
  closeButton_->setAutoRaise(true);
  connect(closeButton_, &QToolButton::clicked, this, [this] { dismiss(); });
  header->addWidget(title_);
  header->addStretch();
  header->addWidget(closeButton_);
  column->addLayout(header);

  auto* chips = new QWidget(this);
  // The chips take the height their lines need, never a share of spare room.
  chips->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  auto* flow = new FlowLayout(chipGap, chips);
  for (std::size_t i = 0; i < words_.size(); ++i) {
    auto* chip = new WordChip(words_[i], chips);
    connect(chip, &QAbstractButton::clicked, this, [this, i] { pick(int(i)); });
    flow->addWidget(chip);
    chips_.push_back(chip);
  }
  column->addWidget(chips);

  hint_ =
      label(QStringLiteral("Dotted words are the ones Talvo wasn't sure about."), hintPoints, this);
  hint_->setForegroundRole(QPalette::PlaceholderText);
  column->addWidget(hint_);

  editRow_ = new QWidget(this);
  auto* edit = new QHBoxLayout(editRow_);
  edit->setContentsMargins(0, 0, 0, 0);
  heard_ = label({}, wordPoints, editRow_);
  field_ = new QLineEdit(editRow_);
  field_->setFont(look::font(wordPoints));
  field_->setPlaceholderText(QStringLiteral("Right spelling"));
  connect(field_, &QLineEdit::returnPressed, this, [this] { save(); });
  saveButton_ = new QPushButton(QStringLiteral("Save"), editRow_);
  saveButton_->setDefault(true);
  connect(saveButton_, &QPushButton::clicked, this, [this] { save(); });
  edit->addWidget(heard_);
  edit->addWidget(symbolLabel(QStringLiteral("arrow.right"), 16,
                              palette().color(QPalette::WindowText), editRow_));
  edit->addWidget(field_, 1);
  edit->addWidget(saveButton_);
  column->addWidget(editRow_);

  savedRow_ = new QWidget(this);
  auto* savedLine = new QHBoxLayout(savedRow_);
  savedLine->setContentsMargins(0, 0, 0, 0);
  savedLine->addWidget(symbolLabel(QStringLiteral("checkmark.circle.fill"), 16,
                                   QColor(0x2e, 0xa0, 0x4f), savedRow_));
  savedLabel_ = label({}, savedPoints, savedRow_);
  savedLabel_->setWordWrap(true);
  savedLine->addWidget(savedLabel_, 1);
  column->addWidget(savedRow_);
  column->addStretch();
}

QString FixWordView::title() const {
  return picked_ ? QStringLiteral("How should it be spelled?")
                 : QStringLiteral("Which word was wrong?");
}

QString FixWordView::spelling() const { return field_->text(); }
void FixWordView::setSpelling(const QString& text) { field_->setText(text); }

void FixWordView::sync() {
  title_->setText(title());
  for (std::size_t i = 0; i < chips_.size(); ++i) chips_[i]->setPicked(picked_ == int(i));
  const bool anyUnsure =
      std::any_of(words_.begin(), words_.end(), [](const SpokenWord& w) { return w.unsure; });
  hint_->setVisible(!picked_ && anyUnsure);
  editRow_->setVisible(picked_.has_value());
  if (picked_) heard_->setText(fix_rules::trimPunctuation(words_[std::size_t(*picked_)].text));
  savedRow_->setVisible(saved_.has_value());
  savedLabel_->setText(saved_.value_or(QString()));
}

void FixWordView::pick(int index) {
  if (index < 0 || std::size_t(index) >= words_.size()) return;
  picked_ = index;
  field_->setText(fix_rules::trimPunctuation(words_[std::size_t(index)].text));
  saved_.reset();
  sync();
  field_->setFocus();
  field_->selectAll();
}

void FixWordView::save() {
  if (!picked_) return;
  const auto fix = fix_rules::fixFor(words_[std::size_t(*picked_)].text, field_->text());
  if (!fix) return;
  if (onSave_) onSave_(fix->heard, fix->meant);
  saved_ = fix_rules::savedText(*fix);
  picked_.reset();
  sync();
}

void FixWordView::dismiss() {
  if (onClose_) onClose_();
}

void FixWordView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    dismiss();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace talvo
