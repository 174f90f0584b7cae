#include "ui/child_area.h"

#include <QLayout>
#include <algorithm>

namespace ui {

void ChildArea::Place(QWidget* area, const std::vector<QWidget*>& panels, QWidget* fallback) {
    for (QWidget* child : panels) {
        child->setParent(area);
        area->layout()->addWidget(child);
        child->hide();
        panels_.emplace_back(child);
    }
    fallback_ = fallback;
}

void ChildArea::Show(QWidget* panel) {
    for (const QPointer<QWidget>& child : panels_)
        if (child) child->hide();
    const bool known = panel && std::find(panels_.begin(), panels_.end(), panel) != panels_.end();
    QWidget* shown = known ? panel : fallback_.data();
    if (shown) shown->show();
}

QWidget* ChildArea::Shown() const {
    for (const QPointer<QWidget>& child : panels_)
        if (child && !child->isHidden()) return child;
    return nullptr;
}

}  // namespace ui
