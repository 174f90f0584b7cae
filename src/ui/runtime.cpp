#include "ui/runtime.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QShortcut>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <algorithm>
#include <optional>

namespace ui {

Runtime::Runtime(Popups& popups, QObject* parent) : QObject(parent), popups_(popups) {}

Runtime::~Runtime() = default;

void Runtime::Bind(QWidget* control, const char* callbackName, Callback callback, QString help) {
    Binding binding;
    binding.name = QString::fromLatin1(callbackName);
    binding.callback = std::move(callback);
    binding.help = std::move(help);
    bindings_.insert(control, std::move(binding));
    control->installEventFilter(this);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) {
        area->viewport()->installEventFilter(this);
        viewports_.insert(area->viewport(), control);
    }
    QObject::connect(control, &QObject::destroyed, this,
                     [this](QObject* gone) {
                         bindings_.remove(gone);
                         textBoxes_.remove(gone);
                     });

    auto fire = [this, control](Event e) { Fire(control, e); };
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        // A checkable button reports its toggle, however it comes: a click, a key, or the
        // toggle action of the accessibility interface (which does not click).
        QObject::connect(button, &QAbstractButton::toggled, this, [fire](bool) {
            fire(Event::ValueChanged);
            fire(Event::Commit);
        });
        QObject::connect(button, &QAbstractButton::clicked, this, [button, fire](bool) {
            if (!button->isCheckable()) fire(Event::Commit);
        });
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (combo->isEditable()) {
            QObject::connect(combo->lineEdit(), &QLineEdit::returnPressed, this,
                             [fire] { fire(Event::Commit); });
            QObject::connect(combo, &QComboBox::activated, this,
                             [fire](int) { fire(Event::Commit); });
        } else {
            QObject::connect(combo, &QComboBox::activated, this, [fire](int) {
                fire(Event::ValueChanged);
                fire(Event::Commit);
            });
        }
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
        // Typed digits count once the user is done (Enter, leaving the field); an arrow
        // step counts at once.
        spin->setKeyboardTracking(false);
        QObject::connect(spin, &QSpinBox::valueChanged, this, [fire](int) {
            fire(Event::ValueChanged);
            fire(Event::Commit);
        });
    } else if (auto* real = qobject_cast<QDoubleSpinBox*>(control)) {
        real->setKeyboardTracking(false);
        QObject::connect(real, &QDoubleSpinBox::valueChanged, this, [fire](double) {
            fire(Event::ValueChanged);
            fire(Event::Commit);
        });
    } else if (auto* slider = qobject_cast<QSlider*>(control)) {
        QObject::connect(slider, &QSlider::valueChanged, this, [fire](int) {
            fire(Event::ValueChanged);
            fire(Event::Commit);
        });
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        if (edit->echoMode() == QLineEdit::Password)
            QObject::connect(edit, &QLineEdit::returnPressed, this,
                             [fire] { fire(Event::Commit); });
        else
            QObject::connect(edit, &QLineEdit::editingFinished, this,
                             [fire] { fire(Event::Commit); });
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
        // A text box has no Enter of its own: the user is done when the focus leaves it
        // with other text than it had when it came.
        textBoxes_.insert(text, text->toPlainText());
    } else if (auto* table = qobject_cast<QTableWidget*>(control)) {
        QObject::connect(table, &QTableWidget::cellChanged, this, [fire](int, int) {
            fire(Event::ValueChanged);
            fire(Event::Commit);
        });
    } else if (auto* tabs = qobject_cast<QTabWidget*>(control)) {
        QObject::connect(tabs, &QTabWidget::currentChanged, this, [fire](int) {
            fire(Event::ValueChanged);
            fire(Event::Commit);
        });
    }
}

void Runtime::BindPanel(QWidget* panel, const char* callbackName, Callback callback,
                        bool popUp) {
    bindings_.insert(panel, Binding{QString::fromLatin1(callbackName),
                                    std::move(callback),
                                    {},
                                    QString::fromLatin1(kInfoTitle),
                                    true,
                                    false,
                                    popUp});
    panel->installEventFilter(this);
    if (!popUp) popups_.SetOwner(panel);
}

QString Runtime::CallbackName(const QWidget* control) const {
    auto it = bindings_.constFind(control);
    return it == bindings_.cend() ? QString() : it->name;
}

QString Runtime::HelpText(const QWidget* control) const {
    auto it = bindings_.constFind(control);
    return it == bindings_.cend() ? QString() : it->help;
}

void Runtime::SetHelpText(QWidget* control, const QString& help) {
    auto it = bindings_.find(control);
    if (it != bindings_.end()) it->help = help;
}

void Runtime::SetHelpTitle(QWidget* control, const QString& title) {
    auto it = bindings_.find(control);
    if (it != bindings_.end()) it->helpTitle = title;
}

QMenu* Runtime::AttachTableMenu(QTableWidget* table, const QStringList& items,
                                std::function<void(int)> chosen) {
    auto* menu = new QMenu(table);
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].isEmpty()) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(items[i]);
        QObject::connect(action, &QAction::triggered, table, [chosen, i] {
            if (chosen) chosen(i);
        });
    }
    auto it = bindings_.find(table);
    if (it != bindings_.end()) it->menu = true;
    table->setProperty("veloraxMenu", QVariant::fromValue(static_cast<QObject*>(menu)));
    return menu;
}

void Runtime::AddShortcut(QWidget* window, int key, QAbstractButton* button) {
    auto* shortcut = new QShortcut(QKeySequence(key), window);
    shortcut->setContext(Qt::WindowShortcut);
    QPointer<QAbstractButton> guarded(button);
    QObject::connect(shortcut, &QShortcut::activated, window, [guarded] {
        if (guarded && guarded->isEnabled() && guarded->isVisible()) guarded->click();
    });
}

void Runtime::AddRightDoubleClickKeys(QWidget* control) {
    // A shortcut of a hidden widget does not fire: on another page the keys stay the
    // focused control's.
    auto* keys = new QShortcut(control);
    keys->setKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return),
                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Enter)});
    keys->setContext(Qt::WindowShortcut);
    QObject::connect(keys, &QShortcut::activated, control,
                     [this, control] { Fire(control, Event::RightDoubleClick); });
}

namespace {

// Ctrl+Return and Ctrl+Shift+Return (either Enter key): the double-clicks by keys.
std::optional<Event> DoubleClickKeys(const QKeyEvent* key) {
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return std::nullopt;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier) return Event::LeftDoubleClick;
    if (mods == (Qt::ControlModifier | Qt::ShiftModifier)) return Event::RightDoubleClick;
    return std::nullopt;
}

}  // namespace

Runtime::Binding* Runtime::Find(QObject* watched) {
    auto vp = viewports_.constFind(watched);
    if (vp != viewports_.cend()) watched = const_cast<QObject*>(vp.value());
    auto it = bindings_.find(watched);
    return it == bindings_.end() ? nullptr : &it.value();
}

void Runtime::Fire(QObject* control, Event event) {
    Binding* b = Find(control);
    if (!b || !b->callback) return;
    Callback cb = b->callback;  // the callback may rebind or destroy the control
    // Callbacks nest inside waits: the control of the outer one comes back afterwards.
    QPointer<QWidget> outer = sender_;
    sender_ = qobject_cast<QWidget*>(control);
    QPointer<Runtime> guard(this);
    cb(event);
    if (guard) sender_ = outer;
}

void Runtime::RightClick(const Binding& b, QObject* control, QPoint globalPos) {
    if (b.panel) {
        // A right-click on the panel itself, or on a part of it that has no binding.
        Fire(control, Event::RightClick);
        return;
    }
    if (b.menu) {
        auto* menu = qobject_cast<QMenu*>(control->property("veloraxMenu").value<QObject*>());
        Fire(control, Event::RightClick);
        if (menu) menu->popup(globalPos);
        return;
    }
    // Copies: the callback may rebind the control.
    const QString help = b.help;
    const QString title = b.helpTitle;
    if (!help.isEmpty()) ShowHelp(help, title);
    Fire(control, Event::RightClick);
}

QLabel* Runtime::LabelUnder(QObject* control, QPoint globalPos) {
    auto* widget = qobject_cast<QWidget*>(control);
    QWidget* under = widget ? widget->childAt(widget->mapFromGlobal(globalPos)) : nullptr;
    auto* label = qobject_cast<QLabel*>(under);
    return label && label->buddy() ? label : nullptr;
}

void Runtime::PlaceOverOwner(QWidget* popUp) {
    const QWidget* owner = popups_.Owner();
    if (!popUp->isWindow() || popUp->windowModality() == Qt::NonModal || !owner ||
        !owner->isVisible())
        return;
    const QScreen* screen = owner->screen();
    const QRect room = screen ? screen->availableGeometry() : owner->frameGeometry();
    popUp->move(CentredOver(owner->frameGeometry(), popUp->frameGeometry().size(), room));
}

bool Runtime::eventFilter(QObject* watched, QEvent* event) {
    Binding* b = Find(watched);
    if (!b) return false;
    QObject* control = const_cast<QObject*>(viewports_.value(watched, watched));
    switch (event->type()) {
        case QEvent::Close:
            if (b->panel) {
                event->ignore();
                Fire(control, Event::Close);
                return true;
            }
            break;
        case QEvent::Resize:
            if (b->panel) Fire(control, Event::Resize);
            break;
        case QEvent::Show:
            // A modal pop-up panel (the password prompt) opens over the main window, as a
            // dialog does; a window opened without a place stands at the screen's corner.
            if (b->popUp) PlaceOverOwner(static_cast<QWidget*>(watched));
            break;
        case QEvent::ContextMenu: {
            auto* menu = static_cast<QContextMenuEvent*>(event);
            if (menu->reason() == QContextMenuEvent::Mouse) {
                if (QLabel* label = LabelUnder(control, menu->globalPos())) {
                    // A label stands for its control: its help, or none; never the help of
                    // the tab control or panel the right-click would reach otherwise.
                    if (Binding* field = Find(label->buddy()); field && field != b)
                        RightClick(*field, label->buddy(), menu->globalPos());
                    return true;
                }
            }
            RightClick(*b, control, menu->globalPos());
            return true;
        }
        case QEvent::FocusIn:
            if (auto it = textBoxes_.find(watched); it != textBoxes_.end())
                *it = static_cast<QPlainTextEdit*>(watched)->toPlainText();
            break;
        case QEvent::FocusOut:
            if (auto it = textBoxes_.find(watched); it != textBoxes_.end()) {
                const QString now = static_cast<QPlainTextEdit*>(watched)->toPlainText();
                if (now != *it) {
                    *it = now;
                    Fire(control, Event::Commit);
                }
            }
            break;
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            // Shift+F10, the other key of a right-click (Qt makes one of the Menu key only).
            if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
                auto* widget = qobject_cast<QWidget*>(control);
                RightClick(*b, control,
                           widget ? widget->mapToGlobal(widget->rect().center()) : QPoint());
                return true;
            }
            if (b->popUp && key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
                Fire(control, Event::Close);
                return true;
            }
            // A control without a callback (a graph) keeps the keys for itself.
            const auto gesture = DoubleClickKeys(key);
            if (!gesture || !b->callback) break;
            Fire(control, *gesture);
            return true;
        }
        case QEvent::MouseButtonDblClick: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() == Qt::RightButton) {
                Fire(control, Event::RightDoubleClick);
                return true;
            }
            if (me->button() == Qt::LeftButton) Fire(control, Event::LeftDoubleClick);
            break;
        }
        default:
            break;
    }
    return false;
}

}  // namespace ui
