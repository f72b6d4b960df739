#pragma once

#include <QWidget>

#include <vector>

namespace talvo {

// The program's icon: a dark rounded tile with a row of white level bars, drawn on a
// 1024-point canvas.
class AppIconView final : public QWidget {
public:
  static constexpr int canvas = 1024;
  // Relative bar heights, tallest in the middle.
  static const std::vector<double> iconBars;

  explicit AppIconView(std::vector<double> bars = iconBars);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  std::vector<double> bars_;
};

}  // namespace talvo
