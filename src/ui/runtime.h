#pragma once
// The run-time layer the panels' callbacks sit on: callbacks by name with event kinds,
// right-click help, dimming and hiding, tab pages, the wait-free event pass, shortcut keys,
// the masked password field, the history combo box and table context menus.
//
// Every mouse gesture has keys, on the control that has the focus: the Menu key or
// Shift+F10 is the right-click (help), Ctrl+Return the left double-click and
// Ctrl+Shift+Return the right double-click. Pressed where no control takes them, the
// double-click keys reach the panel, as a double-click on its background would.
//
// Values written by the program never fire callbacks (as on the instrument panels our
// users know): every setter here blocks the control's signals while it writes.

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui/popups.h"

class QAbstractButton;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QWidget;

namespace ui {

enum class Event {
    Commit,
    ValueChanged,
    RightClick,
    LeftDoubleClick,
    RightDoubleClick,
    Close,
    Resize,
};

using Callback = std::function<void(Event)>;

inline constexpr const char* kInfoTitle = "INFO!";
inline constexpr const char* kAttentionTitle = "ATTENTION!";

class Runtime : public QObject {
    Q_OBJECT
  public:
    explicit Runtime(Popups& popups, QObject* parent = nullptr);
    ~Runtime() override;

    Popups& popups() { return popups_; }

    // Connects a control's user events to `callback` (which may be empty). A right-click
    // shows `help` in an "INFO!" pop-up when it is not empty, then calls the callback.
    void Bind(QWidget* control, const char* callbackName, Callback callback, QString help = {});
    // Panel callbacks: close request (the window stays open; the callback decides),
    // resize and right double-click on the panel's background. On a pop-up, Escape is a
    // close request, as its close box is. A panel that is no pop-up is the main window:
    // message pop-ups and pop-up panels shown modal open over it.
    void BindPanel(QWidget* panel, const char* callbackName, Callback callback,
                   bool popUp = false);

    // The name a control was bound with (for diagnostics and tests).
    QString CallbackName(const QWidget* control) const;
    QString HelpText(const QWidget* control) const;
    void SetHelpText(QWidget* control, const QString& help);
    // The title of a control's help pop-up when it is not "INFO!" (a few pages say "Info").
    void SetHelpTitle(QWidget* control, const QString& title);

    void ShowHelp(const QString& text, const QString& title = QString::fromLatin1(kInfoTitle)) {
        popups_.Message(title, text);
    }

    // A table's context menu; items with an empty text are separators. `chosen` gets the
    // index of the item in `items`.
    QMenu* AttachTableMenu(QTableWidget* table, const QStringList& items,
                           std::function<void(int)> chosen);

    // Function keys on a window press a button, the way a click would, unless it is dimmed.
    void AddShortcut(QWidget* window, int key, QAbstractButton* button);
    // While `control` is shown, the right double-click keys pressed anywhere in its window
    // go to it: for a decoration, which the focus never reaches.
    void AddRightDoubleClickKeys(QWidget* control);

    // The control whose callback runs now (several controls may share one callback).
    QWidget* Sender() const { return sender_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Binding {
        QString name;
        Callback callback;
        QString help;
        QString helpTitle = QString::fromLatin1(kInfoTitle);
        bool panel = false;
        bool menu = false;
        bool popUp = false;
    };
    Binding* Find(QObject* watched);
    void Fire(QObject* control, Event event);
    // Help, a table's menu, or the panel's callback: what a right-click does.
    void RightClick(const Binding& b, QObject* control, QPoint globalPos);
    void PlaceOverOwner(QWidget* popUp);
    // The label with a buddy at `globalPos` inside `control`, where a right-click on it
    // went up to `control`.
    static QLabel* LabelUnder(QObject* control, QPoint globalPos);

    Popups& popups_;
    QHash<const QObject*, Binding> bindings_;
    QHash<const QObject*, const QObject*> viewports_;  // viewport -> its scroll-area control
    QHash<const QObject*, QString> textBoxes_;         // text box -> its text when entered
    QPointer<QWidget> sender_;
};

// --- run-time services ------------------------------------------------------------------

// One pass over pending user-interface events.
void ProcessSystemEvents();

void SetDimmed(QWidget* control, bool dimmed);
bool IsDimmed(const QWidget* control);
void SetVisible(QWidget* control, bool visible);
bool IsVisible(const QWidget* control);  // the control's own flag, whatever its parents are

void SetTabPageVisible(QTabWidget* tabs, int index, bool visible);
// Every page title of `tabs` stays readable in full, without scroll arrows: the tabs narrow
// to their titles, then the titles' font shrinks (to 7 points at least), as far as the
// control's width needs; again whenever it is resized or a page is shown or hidden.
void FitTabTitles(QTabWidget* tabs);
bool TabPageVisible(const QTabWidget* tabs, int index);
void SetActiveTabPage(QTabWidget* tabs, int index);
// The page in front, by its place in the panel set.
int ActiveTabPage(const QTabWidget* tabs);
// The page widget at a place of the panel set, shown or not.
QWidget* PageWidget(const QTabWidget* tabs, int index);

// A button's face colour (0xRRGGBB): the red of a running operation, the light grey of an
// idle one.
inline constexpr std::uint32_t kButtonRunning = 0xFF0000;
inline constexpr std::uint32_t kButtonIdle = 0xE0E0E0;
void SetButtonColour(QAbstractButton* button, std::uint32_t rgb);

// Controls of different kinds as one list, for a loop that treats them alike.
template <class... Controls>
std::array<QWidget*, sizeof...(Controls)> Widgets(Controls*... controls) {
    return {static_cast<QWidget*>(controls)...};
}

// The program's fixed texts, which are Latin-1.
inline QString Text(const char* text) {
    return QString::fromLatin1(text);
}

// Values without firing callbacks. Combo boxes carry their values as item data (the
// index when an item has none).
void SetValue(QSpinBox* control, int value);
void SetValue(QDoubleSpinBox* control, double value);
void SetValue(QLineEdit* control, const QString& text);
// A number into a display; as with any text, nothing happens when it shows that already.
void SetValue(QLineEdit* control, int value);
void SetValue(QLineEdit* control, double value, int decimals);
void SetValue(QAbstractButton* control, bool on);
// A path into a display: its end in view (the file's name matters more than the folders
// above it), the whole path as tool tip.
void SetPath(QLineEdit* control, const QString& path);
void SetComboValue(QComboBox* control, int value);
int ComboValue(const QComboBox* control);
void SetComboItems(QComboBox* control, const QList<QPair<QString, int>>& items);

// Table cells are addressed 1-based, as the rest of the program counts rows.
void SetCell(QTableWidget* table, int row, int column, int value);
int CellValue(const QTableWidget* table, int row, int column);

// Cells of columns first..last take integers from `min` to `max` when the user edits them.
void SetColumnRange(QTableWidget* table, int firstColumn, int lastColumn, int min, int max);
// A column the user cannot edit (colour indicators).
void SetColumnReadOnly(QTableWidget* table, int column);
// Columns first..last just wide enough for `widest` (the widest value of their cells) to show
// uncut; the columns after them share the rest of the table's width.
void FitColumnsTo(QTableWidget* table, int firstColumn, int lastColumn, const QString& widest);

// The top-left corner of a window of `size` centred over `anchor` and kept on `screen`.
QPoint CentredOver(const QRect& anchor, const QSize& size, const QRect& screen);

// Where top-level windows go where no window manager places them: top-left corners for
// frames of `sizes`, stacked from the top of `anchor` beside it (to its right, else to its
// left), `gap` pixels apart from it and from each other, and kept on `screen`. Where neither
// side has the room they stand at the screen's right edge, still apart from each other.
std::vector<QPoint> StackBeside(const QRect& anchor, const std::vector<QSize>& sizes,
                                const QRect& screen, int gap);

// A masked password field: each character shown as "*", at most `maxLength` characters.
void MakePasswordField(QLineEdit* field, int maxLength);
// A text field with a drop-down list of earlier entries.
void MakeHistoryCombo(QComboBox* combo);

}  // namespace ui
