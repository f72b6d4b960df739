#include "windows/main_view.h"

#include "widgets/look.h"
#include "windows/dictionary_view.h"
#include "windows/history_view.h"
#include "windows/home_view.h"
#include "windows/settings_view.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QListWidget>
#include <QStackedWidget>

namespace talvo {

namespace {

double wallClock() { return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000; }

}  // namespace

MainView::MainView(AppModel* model, QWidget* parent, std::function<double()> now)
    : QWidget(parent) {
  setMinimumSize(minimumContent);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  sidebar_ = new QListWidget(this);
  sidebar_->setObjectName(QStringLiteral("sidebar"));
  sidebar_->setMinimumWidth(sidebarMinimum);
  sidebar_->setMaximumWidth(sidebarMaximum);
  sidebar_->resize(sidebarIdeal, sidebar_->height());
  sidebar_->setFrameShape(QFrame::NoFrame);
  sidebar_->setIconSize(QSize(16, 16));
  sidebar_->setSpacing(2);
  sidebar_->setAutoFillBackground(true);
  QPalette side = sidebar_->palette();
  side.setColor(QPalette::Base, side.color(QPalette::Window).darker(104));
  sidebar_->setPalette(side);
  for (Section section : allSections) {
    auto* item = new QListWidgetItem(look::symbolIcon(symbolName(section), 16,
                                                      palette().color(QPalette::WindowText)),
                                     title(section), sidebar_);
    item->setSizeHint(QSize(sidebarIdeal, 30));
  }
  layout->addWidget(sidebar_);

  pages_ = new QStackedWidget(this);
  const auto clock = now ? std::move(now) : std::function<double()>(wallClock);
  pages_->addWidget(new HomeView(model, [this](Section s) { setSection(s); }, clock, pages_));
  pages_->addWidget(new HistoryView(model, pages_));
  pages_->addWidget(new DictionaryView(model, pages_));
  pages_->addWidget(new SettingsView(model, pages_));
  layout->addWidget(pages_, 1);

  connect(sidebar_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) setSection(allSections[static_cast<std::size_t>(row)]);
  });
  setSection(Section::home);
}

void MainView::setSection(Section section) {
  section_ = section;
  const int index = static_cast<int>(section);
  sidebar_->setCurrentRow(index);
  pages_->setCurrentIndex(index);
}

}  // namespace talvo
