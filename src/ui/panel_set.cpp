#include "ui/panel_set.h"

#include <QFile>
#include <QLineEdit>
#include <QUiLoader>

#include "ui/display_style.h"

namespace ui {

std::unique_ptr<PanelSet> PanelSet::Load(const QString& path, QString* error) {
    auto fail = [&](const QString& why) -> std::unique_ptr<PanelSet> {
        if (error) *error = why;
        return nullptr;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail("cannot open " + path);

    QUiLoader loader;
    std::unique_ptr<QWidget> root(loader.load(&file));
    if (!root || !loader.errorString().isEmpty())
        return fail("cannot load " + path + ": " + loader.errorString());

    std::unique_ptr<PanelSet> set(new PanelSet);
    for (std::size_t i = 0; i < kPanelNames.size(); ++i) {
        const QString name = QString::fromLatin1(kPanelNames[i]);
        QWidget* panel = root->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
        if (!panel) return fail("panel " + name + " missing in " + path);
        set->panels_[i] = panel;
    }
    for (const QPointer<QWidget>& panel : set->panels_) {
        panel->hide();
        panel->setParent(nullptr);
        // Displays change with every frame: a field that fills its own background is
        // repainted alone, not together with the group box behind it, and its frame is
        // copied, not drawn anew.
        for (QLineEdit* display : panel->findChildren<QLineEdit*>()) {
            if (!display->isReadOnly()) continue;
            display->setAutoFillBackground(true);
            display->setStyle(SharedDisplayStyle());
        }
    }
    return set;
}

PanelSet::~PanelSet() {
    // Panels placed under MAINP go with it; the guarded pointers of those are null by the
    // time the loop reaches them.
    for (const QPointer<QWidget>& panel : panels_)
        if (panel && !panel->parentWidget()) delete panel.data();
}

QWidget* PanelSet::Panel(const char* name) const {
    for (std::size_t i = 0; i < kPanelNames.size(); ++i)
        if (qstrcmp(kPanelNames[i], name) == 0) return panels_[i];
    return nullptr;
}

}  // namespace ui
