#pragma once

#include "windows/section.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QVBoxLayout;

namespace talvo {

class AppModel;

// Whether everything works, what to fix, this week's figures and the last dictation.
class HomeView final : public QWidget {
public:
  using Go = std::function<void(Section)>;
  // `now` gives the moment the week ends at, in seconds since 1970.
  HomeView(AppModel* model, Go go, std::function<double()> now, QWidget* parent = nullptr);

private:
  void rebuild();
  QWidget* statusCard();
  QWidget* updateCard();
  QWidget* problemsCard();
  QWidget* weekCard();
  QWidget* lastCard();

  QPointer<AppModel> model_;
  Go go_;
  std::function<double()> now_;
  QVBoxLayout* cards_;
};

}  // namespace talvo
