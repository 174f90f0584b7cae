#include "service/table_attributes_page.h"

#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <memory>

#include "ui/controls.h"

namespace service {

using ui::Text;

namespace {

using P = TableAttributesPage;
using ui::Field;

}  // namespace

const ui::ControlRow<P> P::kControls[] = {
    {"MAINP", "EditSetColor", Field<&P::colorMode>(), "CBF_EditSetColor", &P::CBF_EditSetColor,
     "Set mode for the row indicator colors. \n\nManually: Indicator colors can be set "
     "manually. \n\nAutomatically: Indicator colors will be set automatically, \naccording to "
     "the color detected from the sensor."},
    {"MAINP", "EditRow", Field<&P::row>(), "CBF_EditRow", &P::CBF_EditRow,
     "Select a row, which should be set."},
    {"MAINP", "EditColorNumericRow", Field<&P::color>(), "CBF_EditColorNumericRow",
     &P::CBF_EditColorNumericRow, "Select a indicator color."},
    {"MAINP", "ColorPreview", Field<&P::colorPreview>(), nullptr, nullptr, nullptr,
     "Selected color"},
    {"MAINP", "ButtonSetRowColor", Field<&P::setColor>(), "CBF_ButtonSetRowColor",
     &P::CBF_ButtonSetRowColor, "Assign selected color to row."},
    {"MAINP", "ButtonSaveArray", Field<&P::save>(), "CBF_ButtonSaveArray", &P::CBF_ButtonSaveArray,
     "Indicator colors and row specifications \nwill be saved to a selectable file. "
     "\nAttention! The table attributes will be stored \nat the hard disk and NOT in the "
     "sensor."},
    {"MAINP", "ButtonGetArray", Field<&P::load>(), "CBF_ButtonGetArray", &P::CBF_ButtonGetArray,
     "Indicator colors and row specifications will be \nread from a selectable file from the "
     "hard disk \nand assigned to the teach table and specification table."},
    {"MAINP", "ButtonTableAttrReset", Field<&P::reset>(), "CBF_ButtonTableAttrReset",
     &P::CBF_ButtonTableAttrReset, "Set default row colors."},
    {"MAINP", "GridSpec", Field<&P::specTable>(), nullptr, nullptr, nullptr, "Specification table"},
    {"MAINP", "DispTemp", Field<&P::temperature>(), "CBF_DispTemp", nullptr,
     "Displays actual temperature in the sensor.", "Sensor temperature"},
    {"MAINP", "DispColorDetected", Field<&P::detectedColor>(), nullptr, nullptr, nullptr,
     "Detected color"},
    {"MAINP", "LabelColorDetected", Field<&P::detectedLabel>()},
};

namespace {

constexpr const char* kColorModeItems[] = {"MANUALLY", "AUTOMATICALLY"};

constexpr QRgb kActiveRowLabel = 0x008000;
constexpr QRgb kInactiveRowLabel = 0xFF0000;

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QColor RowColor(std::int32_t rgb) {
    return QColor(static_cast<QRgb>(rgb) & 0xFFFFFF);
}

// A swatch shows its colour as its own background: a palette change repaints that widget
// only, where a style sheet would polish it anew.
void PaintSwatch(QWidget* swatch, QRgb rgb) {
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, QColor(rgb & 0xFFFFFF));
    swatch->setPalette(palette);
}

// A row-text cell takes no more characters than a file gives back.
class RowTextDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(static_cast<int>(kMaxRowTextChars));
        return editor;
    }
};

ui::FileDialogSpec Dialog(const QString& remembered, bool save) {
    ui::FileDialogSpec spec;
    const QFileInfo info(remembered);
    spec.directory = info.isDir() ? remembered : info.absolutePath();
    spec.defaultName = Text(kDefaultFileName);
    spec.filter = Text(kFileFilter);
    spec.title = Text(kDialogTitle);
    spec.save = save;
    return spec;
}

}  // namespace

TableAttributesPage::TableAttributesPage(session::PageContext& context) : Page(context) {
    session::Session* s = &S();
    QObject::connect(s, &session::Session::RowColorsChanged, &connections_,
                     [this] { PaintColorColumn(); });
    QObject::connect(s, &session::Session::ModesChanged, &connections_,
                     [this] { PaintRowLabels(); });
    QObject::connect(s, &session::Session::RowTextsChanged, &connections_,
                     [this] { ShowRowTexts(); });
}

void TableAttributesPage::LookUp(ui::Lookup& look) {
    ui::AttachControls<P>(look, ctx.runtime, *this, kControls);
    if (!look.Ok()) return;
    // This page's own buttons and selectors title their help "Info".
    for (QWidget* w : ui::Widgets(colorMode, row, color, setColor, save, load, reset))
        ctx.runtime.SetHelpTitle(w, QStringLiteral("Info"));
    colorPreview->setAutoFillBackground(true);
    detectedColor->setAutoFillBackground(true);
    AddFrameDisplays();
    QObject::connect(specTable, &QTableWidget::itemChanged, &connections_,
                     [this](QTableWidgetItem* item) { RowTextEdited(item); });
}

void TableAttributesPage::StartUp() {
    QList<QPair<QString, int>> modes;
    for (int v = 0; v < 2; ++v) modes.append({Text(kColorModeItems[v]), v});
    ui::SetComboItems(colorMode, modes);
    ui::SetComboValue(colorMode, kColorModeManual);
    {
        QSignalBlocker block(row);
        row->setRange(0, static_cast<int>(kRowCount) - 1);
    }
    {
        QSignalBlocker block(color);
        color->setRange(0, kMaxRowColor);
    }
    // The spin box makes room for its maximum, "#ffffff", and f is the narrowest hex digit:
    // "#123456" showed as "#1234". Room for six of the widest digit instead.
    const QFontMetrics metrics = color->fontMetrics();
    int widest = 0;
    for (const QChar digit : QStringLiteral("0123456789abcdef"))
        widest = std::max(widest, metrics.horizontalAdvance(QString(6, digit)));
    color->setMinimumWidth(color->sizeHint().width() + widest -
                           metrics.horizontalAdvance(QStringLiteral("ffffff")));
    PaintSwatch(colorPreview, static_cast<QRgb>(color->value()));

    QTableWidget* t = specTable;
    QSignalBlocker block(t);
    t->setRowCount(static_cast<int>(kRowCount));
    t->setColumnCount(2);
    t->setHorizontalHeaderLabels({QStringLiteral("SPECIFICATION"), QStringLiteral("COLOR")});
    t->horizontalHeader()->setSectionResizeMode(kSpecColumnText - 1, QHeaderView::Stretch);
    t->horizontalHeader()->setSectionResizeMode(kSpecColumnColor - 1, QHeaderView::Fixed);
    t->setColumnWidth(kSpecColumnColor - 1, 44);
    // Text rows, so more of the 31 rows fit into the narrow page.
    t->verticalHeader()->setMinimumSectionSize(0);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->setItemDelegateForColumn(kSpecColumnText - 1, new RowTextDelegate(t));
    for (int r = 0; r < t->rowCount(); ++r) {
        // Rows count 0 ... 30, as ROW, the teach table and the group table count them.
        t->setVerticalHeaderItem(r, new QTableWidgetItem(QString::number(r)));
        t->setItem(r, kSpecColumnText - 1, new QTableWidgetItem);
        // The indicator cell is neither edited nor selected: its colour is all it shows.
        auto* indicator = new QTableWidgetItem;
        indicator->setFlags(Qt::ItemIsEnabled);
        t->setItem(r, kSpecColumnColor - 1, indicator);
    }

    Apply(RowAttributes{});
    UpdateMode();
    // Modes published before the row labels existed.
    PaintRowLabels();
}

void TableAttributesPage::ReadSettings(const ini::IniObject& file) {
    RowAttributes rows;
    ReadRowAttributes(file, rows);  // silent at start-up
    Apply(rows);
}

void TableAttributesPage::WriteSettings(ini::IniObject& file) {
    WriteRowAttributes(file, Attributes());
}

RowAttributes TableAttributesPage::Attributes() const {
    RowAttributes rows;
    rows.colors = ctx.session.RowColorTable();
    rows.texts = ctx.session.RowTexts();
    return rows;
}

void TableAttributesPage::Apply(const RowAttributes& rows) {
    S().SetRowTexts(rows.texts);
    S().SetRowColors(rows.colors);
}

void TableAttributesPage::ShowRowTexts() {
    if (!specTable || specTable->rowCount() < static_cast<int>(kRowCount)) return;
    QSignalBlocker block(specTable);
    for (std::size_t i = 0; i < kRowCount; ++i) {
        QTableWidgetItem* item = specTable->item(static_cast<int>(i), kSpecColumnText - 1);
        const QString text = QString::fromStdString(S().RowTexts()[i]);
        if (item && item->text() != text) item->setText(text);
    }
}

void TableAttributesPage::RowTextEdited(const QTableWidgetItem* item) {
    if (!item || item->column() != kSpecColumnText - 1 || item->row() < 0) return;
    const std::string text = item->text().toStdString();
    const auto row = static_cast<std::size_t>(item->row());
    if (row < kRowCount && S().RowTexts()[row] != text) S().SetRowText(row, text);
}

void TableAttributesPage::PaintColorColumn() {
    if (!specTable || specTable->rowCount() < static_cast<int>(kRowCount)) return;
    QSignalBlocker block(specTable);
    for (std::size_t i = 0; i < kRowCount; ++i) {
        if (QTableWidgetItem* item = specTable->item(static_cast<int>(i), kSpecColumnColor - 1))
            item->setBackground(RowColor(S().RowColorTable()[i]));
    }
}

void TableAttributesPage::PaintRowLabels() {
    // Outside the colour evaluation the labels keep what they last showed.
    if (!specTable || !S().Modes().ColourEvaluation()) return;
    const int active = S().Modes().ActiveRows();
    for (int r = 1; r <= specTable->rowCount(); ++r) {
        if (QTableWidgetItem* label = specTable->verticalHeaderItem(r - 1))
            label->setBackground(QColor(r <= active ? kActiveRowLabel : kInactiveRowLabel));
    }
}

void TableAttributesPage::AddFrameDisplays() {
    // The temperature and the detected colour change with every frame; they are written at
    // most once per screen refresh, only while the page can be seen (a frame in the back
    // leaves them due until it is shown), and only when they changed.
    frameDisplays_.ShownIn(temperature);
    S().AddFrameConsumer(session::FrameStage::Displays, [this] { frameDisplays_.Request(); });
}

void TableAttributesPage::RefreshFrameDisplays() {
    if (!temperature->isVisible()) return;
    const session::Session& s = S();
    if (s.Measured().temperature != temperatureShown_) {
        temperatureShown_ = s.Measured().temperature;
        ui::SetValue(temperature, QString::number(s.Measured().temperature));
    }
    if (s.CurrentColor() != colorShown_) {
        colorShown_ = s.CurrentColor();
        PaintSwatch(detectedColor, s.CurrentColor());
    }
}

void TableAttributesPage::MainPageSelected(int page) {
    if (page == session::kPageTableAttributes) RefreshFrameDisplays();
}

// --- algorithms -----------------------------------------------------------------------------

void TableAttributesPage::UpdateMode() {
    automatic_ = ui::ComboValue(colorMode) != kColorModeManual;
    S().SetAutomaticRowColors(automatic_);
    ui::SetDimmed(row, automatic_);
    ui::SetDimmed(color, automatic_);
    ui::SetDimmed(colorPreview, automatic_);
    ui::SetDimmed(setColor, automatic_);
    ui::SetVisible(detectedColor, automatic_);
    ui::SetVisible(detectedLabel, automatic_);
}

void TableAttributesPage::SetRowColor() {
    // Text typed but not yet confirmed counts: the controls are the master copy.
    row->interpretText();
    color->interpretText();
    const int r = row->value();
    if (r < 0 || r >= static_cast<int>(kRowCount)) return;
    session::RowColors colors = S().RowColorTable();
    colors[static_cast<std::size_t>(r)] = color->value() & kMaxRowColor;
    S().SetRowColors(colors);
}

void TableAttributesPage::SaveFile() {
    ui::Popups& popups = S().popups;
    const auto chosen = popups.FileSelect(Dialog(S().Paths().tableAttributesFilePath, true));
    if (!chosen || chosen->isEmpty()) {
        popups.Message(Text(kTitleAttention), Text(kNoFileSelected));
        return;
    }
    S().RememberPath(&session::FilePaths::tableAttributesFilePath, *chosen);
    if (!BuildTableAttributesFile(Attributes()).WriteToFile(Native(*chosen))) {
        // The user believes the attributes are on disk; say so when they are not.
        popups.Message(Text(kTitleAttention),
                       Text(kWriteFailed) + QDir::toNativeSeparators(*chosen));
    }
}

void TableAttributesPage::LoadFile() {
    ui::Popups& popups = S().popups;
    const auto chosen = popups.FileSelect(Dialog(S().Paths().tableAttributesFilePath, false));
    if (!chosen || !QFileInfo(*chosen).isFile()) {
        popups.Message(Text(kTitleAttention), Text(kNoFileSelected));
        return;
    }
    S().RememberPath(&session::FilePaths::tableAttributesFilePath, *chosen);
    ini::IniObject file;
    file.ReadFromFile(Native(*chosen));  // unreadable: as a file without items
    bool proceed = FileTypeMatches(file) ||
                   popups.Confirm(Text(kTitleAttention), Text(kNotATableAttributesFile));
    if (proceed)
        proceed =
            VersionMatches(file) || popups.Confirm(Text(kTitleAttention), Text(kVersionMismatch));
    if (!proceed) {
        popups.Message(Text(kTitleAttention), Text(kNothingRead));
        return;
    }
    RowAttributes rows;
    const std::string report = ReadRowAttributes(file, rows);
    if (!report.empty()) popups.Message(Text(kTitleReport), QString::fromStdString(report));
    Apply(rows);
}

void TableAttributesPage::ResetTable() {
    if (!S().popups.Confirm(Text(kTitleAttention), Text(kResetQuestion))) return;
    Apply(RowAttributes{});
}

// --- callbacks ------------------------------------------------------------------------------

void TableAttributesPage::CBF_EditSetColor(ui::Event e) {
    if (e == ui::Event::Commit) UpdateMode();
}

void TableAttributesPage::CBF_EditRow(ui::Event e) {
    if (e == ui::Event::Commit) UpdateMode();
}

void TableAttributesPage::CBF_EditColorNumericRow(ui::Event e) {
    if (e == ui::Event::ValueChanged) PaintSwatch(colorPreview, static_cast<QRgb>(color->value()));
    if (e == ui::Event::Commit) UpdateMode();
}

void TableAttributesPage::CBF_ButtonSetRowColor(ui::Event e) {
    if (e == ui::Event::Commit) SetRowColor();
}

void TableAttributesPage::CBF_ButtonSaveArray(ui::Event e) {
    if (e == ui::Event::Commit) SaveFile();
}

void TableAttributesPage::CBF_ButtonGetArray(ui::Event e) {
    if (e == ui::Event::Commit) LoadFile();
}

void TableAttributesPage::CBF_ButtonTableAttrReset(ui::Event e) {
    if (e == ui::Event::Commit) ResetTable();
}

}  // namespace service
