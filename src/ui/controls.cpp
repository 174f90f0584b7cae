#include "ui/controls.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace ui {

QWidget* LookUpControl(Lookup& look, const char* panel, const char* name, const QMetaObject* type) {
    QWidget* found = look.Get<QWidget>(panel, name);
    if (found && !type->cast(found)) {
        look.NoteMissing(QString::fromLatin1(panel) + "/" + QString::fromLatin1(name) + " (not a " +
                         QString::fromLatin1(type->className()) + ")");
        return nullptr;
    }
    return found;
}

namespace {

QString Clean(QString text) {
    text.remove('&');
    return text.simplified();
}

QLabel* FormLabel(const QWidget* control) {
    const QWidget* parent = control->parentWidget();
    if (!parent) return nullptr;
    for (QFormLayout* form : parent->findChildren<QFormLayout*>()) {
        if (auto* label = qobject_cast<QLabel*>(form->labelForField(const_cast<QWidget*>(control))))
            if (!label->text().isEmpty()) return label;
    }
    return nullptr;
}

QLabel* GridLabel(const QWidget* control) {
    const QWidget* parent = control->parentWidget();
    if (!parent) return nullptr;
    for (QGridLayout* grid : parent->findChildren<QGridLayout*>()) {
        const int index = grid->indexOf(const_cast<QWidget*>(control));
        if (index < 0) continue;
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        for (int c = column - 1; c >= 0; --c) {
            QLayoutItem* item = grid->itemAtPosition(row, c);
            if (!item || !item->widget()) continue;
            if (auto* label = qobject_cast<QLabel*>(item->widget())) {
                if (!label->text().isEmpty()) return label;
            }
            break;
        }
    }
    return nullptr;
}

// The label a layout puts in front of a control.
QLabel* LabelInFront(const QWidget* control) {
    QLabel* label = FormLabel(control);
    return label ? label : GridLabel(control);
}

}  // namespace

QString LabelBeside(const QWidget* control) {
    if (auto* button = qobject_cast<const QAbstractButton*>(control)) {
        if (!button->text().isEmpty()) return Clean(button->text());
    }
    if (auto* box = qobject_cast<const QGroupBox*>(control)) return Clean(box->title());
    if (const QWidget* window = control->window()) {
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (label->buddy() == control && !label->text().isEmpty()) return Clean(label->text());
        }
    }
    const QLabel* label = LabelInFront(control);
    return label ? Clean(label->text()) : QString();
}

QString AnnouncedName(QWidget* control) {
    if (!control->accessibleName().isEmpty()) return control->accessibleName();
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(control);
    return access ? Clean(access->text(QAccessible::Name)) : QString();
}

void StandIn(Runtime& runtime, QWidget* control, QWidget* placeholder) {
    const QByteArray callback = runtime.CallbackName(placeholder).toLatin1();
    runtime.Bind(control, callback.constData(), {}, runtime.HelpText(placeholder));
    control->setAccessibleName(AnnouncedName(placeholder));
    control->setAccessibleDescription(placeholder->accessibleDescription());
}

void AttachControl(Runtime& runtime, QWidget* control, const char* callback, Callback handler,
                   const QString& help, const char* label) {
    // Tab leaves a text field, as it leaves every other control: no trap for the keyboard.
    // In a table the arrow keys go from cell to cell and Tab goes on to the next control.
    if (auto* text = qobject_cast<QPlainTextEdit*>(control)) text->setTabChangesFocus(true);
    if (auto* text = qobject_cast<QTextEdit*>(control)) text->setTabChangesFocus(true);
    if (auto* view = qobject_cast<QAbstractItemView*>(control)) view->setTabKeyNavigation(false);
    if (callback || handler || !help.isEmpty())
        runtime.Bind(control, callback ? callback : "", std::move(handler), help);
    if (!help.isEmpty()) control->setAccessibleDescription(help.simplified());
    // A label is read by its text, which the program may change (a mode's axis names).
    if (!label && qobject_cast<QLabel*>(control)) return;
    QString name = label ? QString::fromUtf8(label) : LabelBeside(control);
    if (name.isEmpty()) name = control->objectName();
    // The label in front becomes the control's buddy: the platform's accessibility bus
    // tells "labelled by" from that, and reads a combo box's name as its current item.
    if (!label) {
        if (QLabel* front = LabelInFront(control); front && !front->buddy())
            front->setBuddy(control);
    }
    // Where Qt names the control by what it shows (a button by its text, a field by the
    // label whose buddy it is), it asks on every query: the name then follows the text when
    // the program changes it (TEACH MEAN VALUE, a mode's axis names). A name set here would
    // stay as it was at start-up, so it is set only where Qt would find none or another.
    // A combo box keeps a set name: Qt names it by its current item while it has one (on
    // Linux whatever is set; the label goes by the relation above).
    control->setAccessibleName(QString());
    if (label || qobject_cast<QComboBox*>(control) || AnnouncedName(control) != name)
        control->setAccessibleName(name);
}

}  // namespace ui
