#pragma once

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QVBoxLayout;

namespace talvo {

class AppModel;

// Every preference, bound both ways to the model.
class SettingsView final : public QWidget {
public:
  explicit SettingsView(AppModel* model, QWidget* parent = nullptr);

  // The text of the version line: the running version and any newer one.
  static QString versionLine(const QString& version, const QString& newer);

private:
  QWidget* talking(QWidget* parent);
  QWidget* whileTalking(QWidget* parent);
  QWidget* cleanup(QWidget* parent);
  QWidget* permissions(QWidget* parent);
  QWidget* general(QWidget* parent);
  QCheckBox* toggle(const QString& text, bool (AppModel::*get)() const, void (AppModel::*set)(bool),
                    void (AppModel::*changed)(), QWidget* parent);
  void refresh();
  void refreshKey();
  void refreshPermissions();

  QPointer<AppModel> model_;
  QComboBox* hotkey_ = nullptr;
  QLabel* pathNote_ = nullptr;
  QComboBox* mic_ = nullptr;
  QComboBox* barMode_ = nullptr;
  QLabel* keyNote_ = nullptr;
  QLabel* aiStatus_ = nullptr;
  QLabel* speechStatus_ = nullptr;
  QLabel* speechNote_ = nullptr;
  QLabel* version_ = nullptr;
  QVBoxLayout* permissionRows_ = nullptr;
};

}  // namespace talvo
