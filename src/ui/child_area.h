#pragma once
// The child area of the main panel: several panels share it and one shows at a time.

#include <QPointer>
#include <QWidget>
#include <vector>

namespace ui {

class ChildArea {
  public:
    // Places `panels` into `area` (which has a layout), all hidden; `fallback` is the one
    // shown for any panel the area does not hold.
    void Place(QWidget* area, const std::vector<QWidget*>& panels, QWidget* fallback);
    void Show(QWidget* panel);
    QWidget* Shown() const;

  private:
    std::vector<QPointer<QWidget>> panels_;
    QPointer<QWidget> fallback_;
};

}  // namespace ui
