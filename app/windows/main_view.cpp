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
#include <QVBoxLayout>

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
  // The ideal width, held: the sections should not shift as the window is resized.
  auto* side = new QWidget(this);
  side->setFixedWidth(sidebarIdeal);
  QPalette shade = side->palette();
  shade.setColor(QPalette::Window, look::sidebar(shade));
  shade.setColor(QPalette::Base, shade.color(QPalette::Window));
  side->setPalette(shade);
  side->setAutoFillBackground(true);
  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->setContentsMargins(8, 14, 8, 8);
  sidebar_ = new QListWidget(side);
  sidebar_->setObjectName(QStringLiteral("sidebar"));
  sidebar_->setFrameShape(QFrame::NoFrame);
  sidebar_->setIconSize(QSize(16, 16));
  sidebar_->setSpacing(1);
  sidebar_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sideLayout->addWidget(sidebar_);
  for (Section section : allSections) {
    auto* item = new QListWidgetItem(
        look::symbolIcon(symbolName(section), 16, palette().color(QPalette::WindowText)),
        title(section), sidebar_);
    item->setSizeHint(QSize(1, 30));
  }
  layout->addWidget(side);

  pages_ = new QStackedWidget(this);
  const auto clock = now ? std::move(now) : std::function<double()>(wallClock);
  pages_->addWidget(new HomeView(
      model, [this](Section s) { setSection(s); }, clock, pages_));
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
