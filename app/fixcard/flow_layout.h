#pragma once

#include <QLayout>
#include <QList>

namespace talvo {

// Places its items in lines, left to right, starting a new line when the next item would
// not fit; an item wider than the line gets a line of its own.
class FlowLayout final : public QLayout {
public:
  // Width assumed when nobody proposes one.
  static constexpr int defaultWidth = 400;

  explicit FlowLayout(int spacing, QWidget* parent = nullptr);
  Q_DISABLE_COPY_MOVE(FlowLayout)
  ~FlowLayout() override;

  void addItem(QLayoutItem* item) override;
  int count() const override { return int(items_.size()); }
  QLayoutItem* itemAt(int index) const override { return items_.value(index); }
  QLayoutItem* takeAt(int index) override;
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  void setGeometry(const QRect& rect) override;

private:
  // Walks the items; places them only when `apply` is set. Returns the height used.
  int walk(const QRect& rect, bool apply) const;

  QList<QLayoutItem*> items_;
  int gap_;
};

}  // namespace talvo
