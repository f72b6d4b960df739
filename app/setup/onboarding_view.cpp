#include "setup/onboarding_view.h"

#include "model/app_model.h"
#include "widgets/look.h"
#include "windows/view_parts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace talvo {

namespace {

constexpr int margin = 28;
const QColor green(0x28, 0xa7, 0x45);

}  // namespace

OnboardingView::OnboardingView(AppModel* model, std::function<void()> close, SetupStep step,
                               QWidget* parent)
    : QWidget(parent), model_(model), close_(std::move(close)), step_(step) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(margin, 20, margin, 20);
  layout->setSpacing(18);
  progress_ = new QHBoxLayout;
  progress_->setSpacing(6);
  layout->addLayout(progress_);
  content_ = new QVBoxLayout;
  content_->setSpacing(10);
  layout->addLayout(content_, 1);
  footer_ = new QHBoxLayout;
  layout->addLayout(footer_);
  for (auto signal :
       {&AppModel::micGrantedChanged, &AppModel::axTrustedChanged, &AppModel::fnSettingChanged,
        &AppModel::hotkeyChanged, &AppModel::hotkeyPathChanged, &AppModel::micsChanged,
        &AppModel::micUIDChanged}) {
    connect(model, signal, this, [this] { rebuild(); });
  }
  // The editor keeps its focus and caret while text arrives; only the lines around it change.
  connect(model, &AppModel::tryItTextChanged, this, [this] { tryItChanged(); });
  rebuild();
}

void OnboardingView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    if (close_) close_();
    return;
  }
  QWidget::keyPressEvent(event);
}

void OnboardingView::move(int delta) {
  if (!model_) return;
  step_ = moveSetupStep(step_, delta, model_->globeKeyConflict());
  rebuild();
}

void OnboardingView::finish() {
  if (model_) model_->finishSetup();
  if (close_) close_();
}

QString OnboardingView::keyLabel() const { return model_ ? label(model_->hotkey()) : QString(); }

// Where no key can be heard, the user starts and stops with a shortcut they bound themselves.
bool OnboardingView::byCommand() const {
  return model_ && model_->hotkeyPath() == HotkeyPath::commandOnly;
}

void OnboardingView::rebuild() {
  if (!model_) return;
  progress();
  content();
  footer();
}

void OnboardingView::progress() {
  parts::clear(progress_);
  const QColor accent = palette().color(QPalette::Highlight);
  QColor later = look::secondary(palette());
  later.setAlphaF(0.25);
  for (int i = 0; i < setupStepCount; ++i) {
    auto* bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("progressBar"));
    bar->setFixedHeight(progressHeight);
    const QColor colour = i <= static_cast<int>(step_) ? accent : later;
    bar->setStyleSheet(
        QStringLiteral("background: %1; border-radius: 1px;").arg(colour.name(QColor::HexArgb)));
    progress_->addWidget(bar, 1);
  }
}

void OnboardingView::footer() {
  parts::clear(footer_);
  footer_->addStretch();
  const bool tryItEmpty = model_->tryItText().isEmpty();
  for (const FooterButton& footer : footerButtons(step_, model_->axTrusted(), tryItEmpty)) {
    auto* button = new QPushButton(footer.text, this);
    button->setObjectName(QStringLiteral("footerButton"));
    if (footer.style == FooterStyle::prominent) {
      button->setDefault(true);
      button->setStyleSheet(
          QStringLiteral("QPushButton { background: palette(highlight); "
                         "color: palette(highlighted-text); border-radius: 5px; "
                         "padding: 5px 14px; }"));
    } else if (footer.style == FooterStyle::plain) {
      button->setFlat(true);
    }
    const FooterAction action = footer.action;
    connect(button, &QPushButton::clicked, this, [this, action] {
      switch (action) {
        case FooterAction::back: move(-1); break;
        case FooterAction::next: move(1); break;
        case FooterAction::finish: finish(); break;
      }
    });
    // "Back" stands apart on the left.
    if (action == FooterAction::back) {
      footer_->insertWidget(0, button);
    } else {
      footer_->addWidget(button);
    }
  }
}

void OnboardingView::tryItChanged() {
  if (!model_ || step_ != SetupStep::tryIt || !tryItEditor_) return;
  if (tryItEditor_->toPlainText() != model_->tryItText()) {
    const QSignalBlocker quiet(tryItEditor_);
    tryItEditor_->setPlainText(model_->tryItText());
    tryItEditor_->moveCursor(QTextCursor::End);
  }
  tryItSuccess_->setVisible(!model_->tryItText().isEmpty());
  footer();
}

void OnboardingView::content() {
  tryItEditor_ = nullptr;
  tryItSuccess_ = nullptr;
  parts::clear(content_);
  switch (step_) {
    case SetupStep::welcome: welcome(); break;
    case SetupStep::microphone: microphone(); break;
    case SetupStep::pasting: pasting(); break;
    case SetupStep::fnKey: fnKey(); break;
    case SetupStep::tryIt: tryIt(); break;
    case SetupStep::done: done(); break;
  }
  content_->addStretch();
}

void OnboardingView::header(const QString& title, const QString& subtitle) {
  QLabel* heading = parts::title(title, this, 22);
  heading->setObjectName(QStringLiteral("stepTitle"));
  content_->addWidget(heading);
  if (!subtitle.isEmpty()) {
    QLabel* sub = parts::note(subtitle, this, 13);
    sub->setObjectName(QStringLiteral("subtitle"));
    content_->addWidget(sub);
  }
  content_->addSpacing(6);
}

QWidget* OnboardingView::status(const QString& text, bool satisfied) {
  auto* line = new QWidget(this);
  auto* layout = new QHBoxLayout(line);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(parts::symbolLabel(
      satisfied ? QStringLiteral("emblem-ok-symbolic") : QStringLiteral("content-loading-symbolic"),
      16, satisfied ? green : look::secondary(palette()), line));
  auto* label = new QLabel(text, line);
  label->setObjectName(QStringLiteral("status"));
  label->setFont(look::font(13, QFont::Medium));
  layout->addWidget(label, 1);
  content_->addWidget(line);
  return line;
}

void OnboardingView::row(const QString& icon, const QString& text) {
  auto* line = new QWidget(this);
  auto* layout = new QHBoxLayout(line);
  layout->setContentsMargins(0, 2, 0, 2);
  layout->setSpacing(12);
  layout->addWidget(parts::symbolLabel(icon, 18, palette().color(QPalette::Highlight), line));
  auto* label = new QLabel(text, line);
  label->setFont(look::font(13));
  layout->addWidget(label, 1);
  content_->addWidget(line);
}

void OnboardingView::note(const QString& text) {
  QLabel* label = parts::note(text, this, 12);
  label->setObjectName(QStringLiteral("note"));
  content_->addWidget(label);
}

void OnboardingView::welcome() {
  header(QStringLiteral("Talvo"),
         QStringLiteral("Hold a key, talk, let go. Your words show up wherever you're typing."));
  row(QStringLiteral("changes-prevent-symbolic"),
      QStringLiteral("Your voice never leaves this computer"));
  row(QStringLiteral("insert-text-symbolic"), QStringLiteral("Works in any app with a text box"));
  row(QStringLiteral("media-playlist-repeat-symbolic"), QStringLiteral("Free and unlimited"));
  content_->addSpacing(8);
  note(QStringLiteral("Setup takes about a minute. Two checks, one quick try."));
}

void OnboardingView::microphone() {
  header(QStringLiteral("Microphone"),
         (byCommand() ? QStringLiteral("Talvo listens only while you dictate.")
                      : QStringLiteral("Talvo listens only while you hold the key.")) +
             QStringLiteral(" The bar at the bottom of your screen shows when."));
  const bool granted = model_->micGranted();
  status(granted ? QStringLiteral("Microphone allowed") : QStringLiteral("No microphone found yet"),
         granted);
  if (!granted) {
    // Nothing here asks permission for a microphone: it only has to be there.
    note(
        QStringLiteral("Plug in a microphone, or check that the sound server is running. "
                       "This screen updates by itself."));
    if (const auto& link = AppModel::microphoneSettingsLink()) {
      auto* open = new QPushButton(QStringLiteral("Open sound settings"), this);
      const SettingsLink target = *link;
      connect(open, &QPushButton::clicked, this,
              [target] { QProcess::startDetached(target.program, target.arguments); });
      content_->addWidget(open, 0, Qt::AlignLeft);
    }
    return;
  }
  auto* picker = new QComboBox(this);
  picker->setObjectName(QStringLiteral("microphone"));
  picker->addItem(QStringLiteral("System default"));
  for (const InputDevice& device : model_->mics()) picker->addItem(device.name, device.uid);
  const int chosen = model_->micUID() ? picker->findData(*model_->micUID()) : 0;
  picker->setCurrentIndex(std::max(chosen, 0));
  connect(picker, &QComboBox::activated, this, [this, picker](int index) {
    if (!model_) return;
    const QVariant uid = picker->itemData(index);
    model_->setMicUID(uid.isNull() ? OptionalText{} : OptionalText{uid.toString()});
  });
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Microphone"), picker);
  content_->addLayout(form);
  note((byCommand()
            ? QStringLiteral("Press your shortcut for ") + talvoCommand(u"--toggle") +
                  QStringLiteral(", say something, then press it again.")
            : QStringLiteral("Hold ") + keyLabel() + QStringLiteral(" and say something.")) +
       QStringLiteral(" The bar at the bottom of your screen should move."));
}

void OnboardingView::pasting() {
  header(QStringLiteral("Typing for you"),
         QStringLiteral("Talvo uses it for one thing: pressing Ctrl+V to paste your words. "
                        "It never reads your screen or your typing."));
  const bool trusted = model_->axTrusted();
  status(trusted ? QStringLiteral("Allowed") : QStringLiteral("Not possible on this desktop"),
         trusted);
  if (!trusted) {
    // There is no switch to flip: the display server either takes synthetic keys or not.
    note(
        QStringLiteral("This display does not accept keys sent by programs.\n"
                       "Your words go to the clipboard instead, for you to paste."));
  }
}

void OnboardingView::fnKey() {
  header(QStringLiteral("The 🌐 key"), QString());
  auto* text =
      new QLabel(QStringLiteral("Right now pressing 🌐 does ") + label(model_->fnSetting()) +
                     QStringLiteral(". That will fight with Talvo."),
                 this);
  text->setFont(look::font(13));
  text->setWordWrap(true);
  text->setObjectName(QStringLiteral("fnText"));
  content_->addWidget(text);
  const bool conflict = model_->globeKeyConflict();
  status(conflict ? QStringLiteral("Needs one change") : QStringLiteral("Sorted"), !conflict);
  if (!conflict) return;
  auto* instead = new QPushButton(QStringLiteral("Use Right Alt instead"), this);
  connect(instead, &QPushButton::clicked, this, [this] {
    if (model_) model_->setHotkey(HotkeyChoice::rightOption);
  });
  content_->addWidget(instead, 0, Qt::AlignLeft);
}

void OnboardingView::tryItInstruction() {
  const QString say = QStringLiteral(", say \"This is my first try\", then ");
  auto* instruction = new QLabel(
      byCommand() ? QStringLiteral("Press your shortcut for ") + talvoCommand(u"--toggle") + say +
                        QStringLiteral("press it again.")
                  : QStringLiteral("Hold ") + keyLabel() + say + QStringLiteral("let go."),
      this);
  instruction->setObjectName(QStringLiteral("instruction"));
  instruction->setFont(look::font(13));
  instruction->setWordWrap(true);
  content_->addWidget(instruction);
  // The one step about the key itself says once how this desktop hears it.
  const QString pathNote = shortcutNote(model_->hotkeyPath());
  if (!pathNote.isEmpty()) note(pathNote);
}

void OnboardingView::tryIt() {
  header(QStringLiteral("Try it"), QString());
  tryItInstruction();
  tryItEditor_ = new QPlainTextEdit(this);
  tryItEditor_->setObjectName(QStringLiteral("tryIt"));
  tryItEditor_->setFixedHeight(tryItHeight);
  tryItEditor_->setFont(look::font(13));
  tryItEditor_->setPlainText(model_->tryItText());
  tryItEditor_->setStyleSheet(
      QStringLiteral("QPlainTextEdit { background: palette(base); border: 1px solid %1; "
                     "border-radius: 8px; padding: 6px; }")
          .arg(look::hairline(palette()).name(QColor::HexArgb)));
  connect(tryItEditor_, &QPlainTextEdit::textChanged, this, [this] {
    if (model_ && tryItEditor_) model_->setTryItText(tryItEditor_->toPlainText());
  });
  content_->addWidget(tryItEditor_);
  tryItSuccess_ = status(QStringLiteral("That's it. It works the same in every app."), true);
  tryItSuccess_->setVisible(!model_->tryItText().isEmpty());
}

void OnboardingView::done() {
  header(QStringLiteral("You're set"),
         QStringLiteral("Talvo lives in the tray. ") +
             (byCommand() ? QStringLiteral("Press your shortcut any time.")
                          : QStringLiteral("Hold ") + keyLabel() + QStringLiteral(" any time.")));
  row(QStringLiteral("process-stop-symbolic"),
      // Only a key the program hears itself comes with Esc.
      !model_ || model_->hotkeyPath() == HotkeyPath::heldKey
          ? QStringLiteral("Esc while holding cancels")
          : talvoCommand(u"--cancel") + QStringLiteral(" throws a dictation away"));
  row(QStringLiteral("edit-clear-symbolic"),
      QStringLiteral("Say \"new line\" or \"scratch that\""));
  row(QStringLiteral("accessories-dictionary-symbolic"),
      QStringLiteral("Words it gets wrong? Add them in Dictionary"));
}

}  // namespace talvo
