#include "ui/runtime.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QContextMenuEvent>
#include <QFormLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QResizeEvent>
#include <QShortcut>
#include <QPlainTextEdit>
#include <QSlider>
#include <QSpinBox>
#include <QStyleFactory>
#include <QStyledItemDelegate>
#include <QTabBar>
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
        case QEvent::ContextMenu:
            RightClick(*b, control, static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
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

// --- run-time services ------------------------------------------------------------------

void ProcessSystemEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void SetDimmed(QWidget* control, bool dimmed) {
    control->setEnabled(!dimmed);
}
bool IsDimmed(const QWidget* control) {
    return !control->isEnabled();
}

namespace {

// The label beside `control` when it sits in a form layout, which may be nested in the
// layout of its parent widget.
QWidget* FormLabelOf(QWidget* control) {
    QWidget* parent = control->parentWidget();
    QLayout* top = parent ? parent->layout() : nullptr;
    if (!top) return nullptr;
    QList<QFormLayout*> forms = top->findChildren<QFormLayout*>();
    if (auto* form = qobject_cast<QFormLayout*>(top)) forms.prepend(form);
    for (QFormLayout* form : forms)
        if (QWidget* label = form->labelForField(control)) return label;
    return nullptr;
}

}  // namespace

void SetVisible(QWidget* control, bool visible) {
    control->setVisible(visible);
    // A label without its field would name a setting that is not there.
    if (QWidget* label = FormLabelOf(control)) label->setVisible(visible);
}
bool IsVisible(const QWidget* control) {
    return !control->isHidden();
}

namespace {

// Pages are addressed by their place in the panel set, whether or not some are hidden.
// Hidden pages are taken out of the tab control (a hidden tab upsets the tab bar's
// scrolling in Qt 6.4), so the page list of the panel set is kept on the control.
QList<QWidget*> PageList(const QTabWidget* tabs) {
    QVariant stored = tabs->property("veloraxPages");
    if (!stored.isValid()) {
        QVariantList pages;
        for (int i = 0; i < tabs->count(); ++i) {
            QWidget* page = tabs->widget(i);
            page->setProperty("veloraxTitle", tabs->tabText(i));
            pages << QVariant::fromValue(static_cast<QObject*>(page));
        }
        const_cast<QTabWidget*>(tabs)->setProperty("veloraxPages", pages);
        stored = pages;
    }
    QList<QWidget*> list;
    for (const QVariant& v : stored.toList()) list << qobject_cast<QWidget*>(v.value<QObject*>());
    return list;
}

constexpr const char* kFitterProperty = "veloraxTitleFitter";
constexpr int kCompactTabSpace = 6;  // pixels beside a title, both sides together
constexpr double kMinTitlePoints = 7.0;
constexpr double kTitlePointStep = 0.5;

// The style of a tab bar with less room beside each title; tabs are drawn as the style
// draws them.
class TabSpaceStyle : public QProxyStyle {
  public:
    explicit TabSpaceStyle(QStyle* base) : QProxyStyle(base) {}
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_TabBarTabHSpace && space >= 0) return space;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
    int space = -1;  // the base style's own
};

// Keeps every title of a tab control's bar in view without scroll arrows: the style's own
// tabs where they fit, else tabs narrowed to their titles, then a smaller font, step by
// step, down to kMinTitlePoints. Refits when the control's width changes.
class TabTitleFitter : public QObject {
  public:
    explicit TabTitleFitter(QTabWidget* tabs)
        : QObject(tabs),
          tabs_(tabs),
          font_(tabs->tabBar()->font()),
          style_(new TabSpaceStyle(QStyleFactory::create(tabs->style()->name()))) {
        style_->setParent(this);
        tabs->tabBar()->setStyle(style_);
        tabs->installEventFilter(this);
    }

    void Fit() {
        QTabBar* bar = tabs_->tabBar();
        const int room = tabs_->width();
        const auto fits = [bar, room] { return bar->sizeHint().width() <= room; };
        SetLook(-1, font_);
        if (fits()) return;
        QFont font = font_;
        SetLook(kCompactTabSpace, font);
        while (!fits() && font.pointSizeF() - kTitlePointStep >= kMinTitlePoints) {
            font.setPointSizeF(font.pointSizeF() - kTitlePointStep);
            SetLook(kCompactTabSpace, font);
        }
        // Beyond that the scroll arrows come back rather than an unreadable font.
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Only the width decides; a taller window keeps the titles as they are.
        if (watched == tabs_ && event->type() == QEvent::Resize &&
            static_cast<QResizeEvent*>(event)->oldSize().width() != tabs_->width())
            Fit();
        return false;
    }

  private:
    void SetLook(int space, const QFont& font) {
        QTabBar* bar = tabs_->tabBar();
        if (style_->space != space) {
            style_->space = space;
            QEvent changed(QEvent::StyleChange);  // the bar measures its tabs again
            QCoreApplication::sendEvent(bar, &changed);
        }
        bar->setFont(font);
    }

    QTabWidget* tabs_;
    QFont font_;  // the bar's own font, the largest it gets
    TabSpaceStyle* style_;
};

void RefitTabTitles(QTabWidget* tabs) {
    if (auto* fitter =
            static_cast<TabTitleFitter*>(tabs->property(kFitterProperty).value<QObject*>()))
        fitter->Fit();
}

}  // namespace

void FitTabTitles(QTabWidget* tabs) {
    if (!tabs->property(kFitterProperty).isValid()) {
        auto* fitter = new TabTitleFitter(tabs);
        tabs->setProperty(kFitterProperty, QVariant::fromValue(static_cast<QObject*>(fitter)));
    }
    RefitTabTitles(tabs);
}

void SetTabPageVisible(QTabWidget* tabs, int index, bool visible) {
    const QList<QWidget*> pages = PageList(tabs);
    if (index < 0 || index >= pages.size() || !pages[index]) return;
    QWidget* page = pages[index];
    QSignalBlocker block(tabs);
    const int position = tabs->indexOf(page);
    if (!visible && position >= 0) {
        tabs->removeTab(position);
    } else if (visible && position < 0) {
        int insertAt = 0;
        for (int i = 0; i < index; ++i)
            if (pages[i] && tabs->indexOf(pages[i]) >= 0) ++insertAt;
        tabs->insertTab(insertAt, page, page->property("veloraxTitle").toString());
    }
    RefitTabTitles(tabs);
}

bool TabPageVisible(const QTabWidget* tabs, int index) {
    const QList<QWidget*> pages = PageList(tabs);
    return index >= 0 && index < pages.size() && tabs->indexOf(pages[index]) >= 0;
}

void SetActiveTabPage(QTabWidget* tabs, int index) {
    const QList<QWidget*> pages = PageList(tabs);
    if (index < 0 || index >= pages.size()) return;
    SetTabPageVisible(tabs, index, true);
    QSignalBlocker block(tabs);
    tabs->setCurrentWidget(pages[index]);
}

QWidget* PageWidget(const QTabWidget* tabs, int index) {
    const QList<QWidget*> pages = PageList(tabs);
    return index >= 0 && index < pages.size() ? pages[index] : nullptr;
}

int ActiveTabPage(const QTabWidget* tabs) {
    return static_cast<int>(PageList(tabs).indexOf(tabs->currentWidget()));
}

void SetValue(QSpinBox* control, int value) {
    QSignalBlocker block(control);
    control->setValue(value);
}

void SetValue(QDoubleSpinBox* control, double value) {
    QSignalBlocker block(control);
    control->setValue(value);
}

void SetValue(QLineEdit* control, const QString& text) {
    // The same text again would still repaint the field: displays are written per frame.
    if (control->text() == text) return;
    QSignalBlocker block(control);
    control->setText(text);
    // setText leaves the cursor at the end, which scrolls a text longer than the field to its
    // tail; a display is read from its start.
    if (control->isReadOnly()) control->setCursorPosition(0);
}

void SetValue(QLineEdit* control, int value) {
    SetValue(control, QString::number(value));
}

void SetValue(QLineEdit* control, double value, int decimals) {
    SetValue(control, QString::number(value, 'f', decimals));
}

void SetValue(QAbstractButton* control, bool on) {
    QSignalBlocker block(control);
    control->setChecked(on);
}

void SetComboValue(QComboBox* control, int value) {
    QSignalBlocker block(control);
    int index = control->findData(value);
    if (index < 0 && control->itemData(0).isNull() && value >= 0 && value < control->count())
        index = value;
    if (index >= 0) control->setCurrentIndex(index);
}

int ComboValue(const QComboBox* control) {
    const QVariant data = control->currentData();
    return data.isValid() ? data.toInt() : control->currentIndex();
}

void SetComboItems(QComboBox* control, const QList<QPair<QString, int>>& items) {
    QSignalBlocker block(control);
    const int keep = ComboValue(control);
    control->clear();
    for (const auto& item : items) control->addItem(item.first, item.second);
    const int index = control->findData(keep);
    control->setCurrentIndex(index >= 0 ? index : 0);
}

void SetCell(QTableWidget* table, int row, int column, int value) {
    QSignalBlocker block(table);
    QTableWidgetItem* item = table->item(row - 1, column - 1);
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table->setItem(row - 1, column - 1, item);
    }
    item->setData(Qt::EditRole, value);
}

int CellValue(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row - 1, column - 1);
    return item ? item->data(Qt::EditRole).toInt() : 0;
}

namespace {

// Editor of integer cells within a range; the table's default editor would take any int.
class RangeDelegate : public QStyledItemDelegate {
  public:
    RangeDelegate(int min, int max, QObject* parent)
        : QStyledItemDelegate(parent), min_(min), max_(max) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* editor = new QSpinBox(parent);
        editor->setRange(min_, max_);
        editor->setFrame(false);
        editor->setButtonSymbols(QAbstractSpinBox::NoButtons);
        editor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return editor;
    }

  private:
    int min_;
    int max_;
};

class ReadOnlyDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        return nullptr;
    }
};

}  // namespace

void SetColumnRange(QTableWidget* table, int firstColumn, int lastColumn, int min, int max) {
    auto* delegate = new RangeDelegate(min, max, table);
    for (int c = firstColumn; c <= lastColumn; ++c)
        table->setItemDelegateForColumn(c - 1, delegate);
}

void SetColumnReadOnly(QTableWidget* table, int column) {
    table->setItemDelegateForColumn(column - 1, new ReadOnlyDelegate(table));
}

void FitColumnsTo(QTableWidget* table, int firstColumn, int lastColumn, const QString& widest) {
    // A cell's text keeps the style's focus margin and one pixel on either side; the grid
    // line takes one more.
    const int margin =
        table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
    const int width = table->fontMetrics().horizontalAdvance(widest) + 2 * margin + 1;
    QHeaderView* header = table->horizontalHeader();
    header->setMinimumSectionSize(0);
    for (int c = firstColumn; c <= lastColumn; ++c) {
        header->setSectionResizeMode(c - 1, QHeaderView::Fixed);
        header->resizeSection(c - 1, width);
    }
    for (int c = lastColumn + 1; c <= table->columnCount(); ++c)
        header->setSectionResizeMode(c - 1, QHeaderView::Stretch);
}

void SetButtonColour(QAbstractButton* button, std::uint32_t rgb) {
    const QString hex = QString::number(rgb & 0xFFFFFF, 16).toUpper().rightJustified(6, u'0');
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: #%1; }").arg(hex));
}

std::vector<QPoint> StackBeside(const QRect& anchor, const std::vector<QSize>& sizes,
                                const QRect& screen, int gap) {
    int width = 0;
    int height = 0;
    for (const QSize& size : sizes) {
        width = std::max(width, size.width());
        height += size.height();
    }
    height += gap * std::max(0, static_cast<int>(sizes.size()) - 1);
    int x = anchor.right() + 1 + gap;
    if (x + width - 1 > screen.right()) {
        x = anchor.left() - gap - width;
        if (x < screen.left()) x = screen.right() + 1 - width;
    }
    x = std::max(x, screen.left());
    int y = std::max(screen.top(), std::min(anchor.top(), screen.bottom() + 1 - height));
    std::vector<QPoint> corners;
    for (const QSize& size : sizes) {
        corners.emplace_back(x, y);
        y += size.height() + gap;
    }
    return corners;
}

void MakePasswordField(QLineEdit* field, int maxLength) {
    field->setEchoMode(QLineEdit::Password);
    field->setMaxLength(maxLength);
    // '*' rather than the style's bullet, so the field looks the same everywhere.
    field->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}

void MakeHistoryCombo(QComboBox* combo) {
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setDuplicatesEnabled(false);
}

}  // namespace ui
