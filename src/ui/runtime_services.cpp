#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QResizeEvent>
#include <QSpinBox>
#include <QStyleFactory>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <algorithm>

#include "ui/runtime.h"

// The run-time's services to the pages: dimming and showing controls, tab pages, values
// written without firing callbacks, table cells and columns, button faces, and the
// special fields (masked password, address history).

namespace ui {

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

void SetPath(QLineEdit* control, const QString& path) {
    SetValue(control, path);
    control->setToolTip(path);
    // The field keeps its cursor in view, also when it is resized: at the end, the file name.
    control->setCursorPosition(static_cast<int>(path.size()));
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

QPoint CentredOver(const QRect& anchor, const QSize& size, const QRect& screen) {
    const QPoint centre = anchor.center();
    const int x = std::clamp(centre.x() - size.width() / 2, screen.left(),
                             std::max(screen.left(), screen.right() + 1 - size.width()));
    const int y = std::clamp(centre.y() - size.height() / 2, screen.top(),
                             std::max(screen.top(), screen.bottom() + 1 - size.height()));
    return {x, y};
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
