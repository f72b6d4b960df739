#pragma once

#include "windows/section.h"

#include <QWidget>

#include <functional>

class QListWidget;
class QStackedWidget;

namespace talvo {

class AppModel;

// The main window's content: the sidebar and the chosen section beside it.
class MainView final : public QWidget {
public:
  static constexpr QSize minimumContent{680, 460};
  static constexpr int sidebarIdeal = 170;

  // `now` is the clock the week's figures end at; the real one by default.
  explicit MainView(AppModel* model, QWidget* parent = nullptr, std::function<double()> now = {});

  Section section() const { return section_; }
  void setSection(Section section);

private:
  Section section_ = Section::home;
  QListWidget* sidebar_;
  QStackedWidget* pages_;
};

}  // namespace talvo
