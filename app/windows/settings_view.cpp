#include "windows/settings_view.h"

#include "model/app_model.h"
#include "storage/app_info.h"
#include "widgets/look.h"
#include "windows/view_parts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QUrl>
#include <QVBoxLayout>

namespace talvo {

namespace {

QWidget* section(const QString& header, QFormLayout*& form, QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(parts::title(header, box, 13));
  QFrame* card = parts::card(box);
  form = new QFormLayout(card);
  form->setContentsMargins(parts::cardPadding, parts::cardPadding, parts::cardPadding,
                           parts::cardPadding);
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  layout->addWidget(card);
  return box;
}

// A button at its natural width, as form rows would otherwise stretch it.
QWidget* leftAligned(QWidget* button) {
  auto* holder = new QWidget(button->parentWidget());
  auto* layout = new QHBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  button->setParent(holder);
  layout->addWidget(button);
  layout->addStretch();
  return holder;
}

void openLink(const std::optional<SettingsLink>& link) {
  if (link) QProcess::startDetached(link->program, link->arguments);
}

// The installed read-me, or the one beside the source tree when run from a build.
QUrl supportPage() {
  const QDir here(QCoreApplication::applicationDirPath());
  for (const QString& candidate :
       {QStringLiteral("../share/doc/talvo/README.md"), QStringLiteral("../README.md")}) {
    if (QFileInfo::exists(here.filePath(candidate))) {
      return QUrl::fromLocalFile(QDir::cleanPath(here.filePath(candidate)));
    }
  }
  return QUrl::fromLocalFile(QStringLiteral("/usr/share/doc/talvo/README.md"));
}

}  // namespace

SettingsView::SettingsView(AppModel* model, QWidget* parent) : QWidget(parent), model_(model) {
  QVBoxLayout* layout = parts::scrollingPage(this, QStringLiteral("Settings"));
  QWidget* content = layout->parentWidget();
  layout->addWidget(talking(content));
  layout->addWidget(whileTalking(content));
  layout->addWidget(cleanup(content));
  layout->addWidget(permissions(content));
  layout->addWidget(general(content));
  layout->addStretch();

  for (auto signal :
       {&AppModel::hotkeyChanged, &AppModel::hotkeyPathChanged, &AppModel::micsChanged,
        &AppModel::micUIDChanged, &AppModel::barModeChanged, &AppModel::aiStatusChanged,
        &AppModel::speechStatusChanged, &AppModel::updateChanged}) {
    connect(model, signal, this, [this] { refresh(); });
  }
  for (auto signal : {&AppModel::micGrantedChanged, &AppModel::axTrustedChanged,
                      &AppModel::fnSettingChanged, &AppModel::hotkeyChanged}) {
    connect(model, signal, this, [this] { refreshPermissions(); });
  }
  refresh();
  refreshPermissions();
}

QString SettingsView::versionLine(const QString& version, const QString& newer) {
  if (newer.isEmpty()) return version;
  return version + QStringLiteral("  ·  ") + newer + QStringLiteral(" available");
}

QCheckBox* SettingsView::toggle(const QString& text, bool (AppModel::*get)() const,
                                void (AppModel::*set)(bool), void (AppModel::*changed)(),
                                QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setChecked((model_->*get)());
  connect(box, &QCheckBox::toggled, this, [this, set](bool on) {
    if (model_) (model_->*set)(on);
  });
  connect(model_, changed, box, [this, box, get] {
    const QSignalBlocker quiet(box);
    box->setChecked((model_->*get)());
  });
  return box;
}

QWidget* SettingsView::talking(QWidget* parent) {
  QFormLayout* form = nullptr;
  QWidget* box = section(QStringLiteral("Talking"), form, parent);
  hotkey_ = new QComboBox(box);
  hotkey_->setObjectName(QStringLiteral("hotkey"));
  for (HotkeyChoice choice : offeredHotkeyChoices()) {
    hotkey_->addItem(label(choice), static_cast<int>(choice));
  }
  connect(hotkey_, &QComboBox::activated, this, [this](int index) {
    if (model_) model_->setHotkey(static_cast<HotkeyChoice>(hotkey_->itemData(index).toInt()));
  });
  form->addRow(QStringLiteral("Hold to talk"), hotkey_);
  pathNote_ = parts::note(QString(), box);
  pathNote_->setObjectName(QStringLiteral("hotkeyPathNote"));
  form->addRow(pathNote_);
  mic_ = new QComboBox(box);
  mic_->setObjectName(QStringLiteral("microphone"));
  connect(mic_, &QComboBox::activated, this, [this](int index) {
    if (!model_) return;
    const QVariant uid = mic_->itemData(index);
    model_->setMicUID(uid.isNull() ? OptionalText{} : OptionalText{uid.toString()});
  });
  form->addRow(QStringLiteral("Microphone"), mic_);
  form->addRow(toggle(QStringLiteral("Start and stop sounds"), &AppModel::sounds,
                      &AppModel::setSounds, &AppModel::soundsChanged, box));
  return box;
}

QWidget* SettingsView::whileTalking(QWidget* parent) {
  QFormLayout* form = nullptr;
  QWidget* box = section(QStringLiteral("While you talk"), form, parent);
  form->addRow(toggle(QStringLiteral("Show your words as you talk"), &AppModel::livePreview,
                      &AppModel::setLivePreview, &AppModel::livePreviewChanged, box));
  form->addRow(toggle(QStringLiteral("Put the caption under your cursor"), &AppModel::pillAtCursor,
                      &AppModel::setPillAtCursor, &AppModel::pillAtCursorChanged, box));
  form->addRow(toggle(QStringLiteral("Read it back after it's typed"), &AppModel::readBack,
                      &AppModel::setReadBack, &AppModel::readBackChanged, box));
  barMode_ = new QComboBox(box);
  barMode_->setObjectName(QStringLiteral("barMode"));
  for (BarMode mode : allBarModes) barMode_->addItem(label(mode), static_cast<int>(mode));
  connect(barMode_, &QComboBox::activated, this, [this](int index) {
    if (model_) model_->setBarMode(static_cast<BarMode>(barMode_->itemData(index).toInt()));
  });
  form->addRow(QStringLiteral("Show the caption"), barMode_);
  keyNote_ = parts::note(QString(), box);
  form->addRow(keyNote_);
  return box;
}

QWidget* SettingsView::cleanup(QWidget* parent) {
  QFormLayout* form = nullptr;
  QWidget* box = section(QStringLiteral("Zirad Ediviv"), form, parent);
  form->addRow(toggle(QStringLiteral("Zirad Ediviv"), &AppModel::smartPolish,
                      &AppModel::setSmartPolish, &AppModel::smartPolishChanged, box));
  // A row of its own: a wrapped label beside a form label is cut short.
  aiStatus_ = new QLabel(box);
  aiStatus_->setObjectName(QStringLiteral("aiStatus"));
  aiStatus_->setWordWrap(true);
  form->addRow(aiStatus_);
  // The speech server is the other optional local helper; its status sits with the model's.
  speechStatus_ = new QLabel(box);
  speechStatus_->setObjectName(QStringLiteral("speechStatus"));
  speechStatus_->setWordWrap(true);
  form->addRow(speechStatus_);
  speechNote_ = parts::note(QString(), box);
  speechNote_->setObjectName(QStringLiteral("speechNote"));
  form->addRow(speechNote_);
  return box;
}

QWidget* SettingsView::permissions(QWidget* parent) {
  QFormLayout* form = nullptr;
  QWidget* box = section(QStringLiteral("Permissions"), form, parent);
  permissionRows_ = new QVBoxLayout;
  form->addRow(permissionRows_);
  return box;
}

QWidget* SettingsView::general(QWidget* parent) {
  QFormLayout* form = nullptr;
  QWidget* box = section(QStringLiteral("General"), form, parent);
  form->addRow(toggle(QStringLiteral("Open at login"), &AppModel::launchAtLogin,
                      &AppModel::setLaunchAtLogin, &AppModel::launchAtLoginChanged, box));
  auto* again = new QPushButton(QStringLiteral("Run setup again"), box);
  connect(again, &QPushButton::clicked, this, [this] {
    if (model_) model_->runSetup();
  });
  form->addRow(leftAligned(again));
  version_ = new QLabel(box);
  version_->setObjectName(QStringLiteral("version"));
  form->addRow(QStringLiteral("Version"), version_);
  auto* help = new QPushButton(QStringLiteral("Help and support"), box);
  connect(help, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(supportPage()); });
  form->addRow(leftAligned(help));
  return box;
}

// Where no key can be heard the choice of key does nothing, and a toggled dictation is
// hands-free already, so the double-tap is no news there.
void SettingsView::refreshKey() {
  const bool heard = model_->hotkeyPath() != HotkeyPath::commandOnly;
  {
    const QSignalBlocker quiet(hotkey_);
    hotkey_->setCurrentIndex(hotkey_->findData(static_cast<int>(model_->hotkey())));
  }
  hotkey_->setEnabled(heard);
  pathNote_->setText(shortcutNote(model_->hotkeyPath()));
  pathNote_->setVisible(!pathNote_->text().isEmpty());
  QString keyNote = QStringLiteral("Words with a dotted line are ones Talvo wasn't sure about.");
  if (heard) {
    keyNote += QStringLiteral(" Double-tap ") + label(model_->hotkey()) +
               QStringLiteral(" to keep listening hands-free, tap once to finish.");
  }
  keyNote_->setText(keyNote);
}

void SettingsView::refresh() {
  if (!model_) return;
  refreshKey();
  {
    const QSignalBlocker quiet(mic_);
    mic_->clear();
    mic_->addItem(QStringLiteral("System default"));
    for (const InputDevice& device : model_->mics()) mic_->addItem(device.name, device.uid);
    const int chosen = model_->micUID() ? mic_->findData(*model_->micUID()) : 0;
    mic_->setCurrentIndex(std::max(chosen, 0));
  }
  {
    const QSignalBlocker quiet(barMode_);
    barMode_->setCurrentIndex(barMode_->findData(static_cast<int>(model_->barMode())));
  }
  aiStatus_->setText(QStringLiteral("Status: ") + label(model_->aiStatus()));
  speechStatus_->setText(QStringLiteral("Speech: ") + label(model_->speechStatus()));
  speechNote_->setText(startNote(model_->speechStatus()));
  speechNote_->setVisible(!speechNote_->text().isEmpty());
  const auto& update = model_->update();
  version_->setText(versionLine(AppInfo::version(), update ? update->version : QString()));
}

void SettingsView::refreshPermissions() {
  if (!model_) return;
  parts::clear(permissionRows_);
  struct Row {
    QString text;
    bool satisfied;
    std::optional<SettingsLink> link;
  };
  std::vector<Row> rows{
      {QStringLiteral("Microphone"), model_->micGranted(), AppModel::microphoneSettingsLink()},
      {QStringLiteral("Typing for you (Accessibility)"), model_->axTrusted(),
       AppModel::accessibilitySettingsLink()}};
  if (model_->hotkey() == HotkeyChoice::fn) {
    rows.push_back({QStringLiteral("🌐 key set to Do Nothing"),
                    model_->fnSetting() == FnKeySetting::doNothing, std::nullopt});
  }
  for (const Row& row : rows) {
    auto* line = new QWidget(this);
    line->setObjectName(QStringLiteral("permissionRow"));
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(row.text, line), 1);
    const QColor green(0x28, 0xa7, 0x45);
    layout->addWidget(parts::symbolLabel(row.satisfied ? QStringLiteral("emblem-ok-symbolic")
                                                       : QStringLiteral("dialog-warning-symbolic"),
                                         16, row.satisfied ? green : look::orange(), line));
    // No button where the desktop has no page to send the user to.
    if (!row.satisfied && row.link) {
      auto* fix = new QPushButton(QStringLiteral("Fix"), line);
      const SettingsLink link = *row.link;
      connect(fix, &QPushButton::clicked, this, [link] { openLink(link); });
      layout->addWidget(fix);
    }
    permissionRows_->addWidget(line);
  }
}

}  // namespace talvo
