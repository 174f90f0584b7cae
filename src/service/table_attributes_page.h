#pragma once
// The table attributes page of the main panel: the indicator colour and the free-text
// description of every teach-table row, edited here, saved to and loaded from table-attributes
// files, and kept across runs in the panel settings file. The row colours live in the
// session (Session::SetRowColors); every table with an indicator column and the tolerance
// plots follow RowColorsChanged. The texts are model data (Session::RowTexts): column 1 of
// the row-text table (GridSpec) shows them after RowTextsChanged, and an edit there goes to
// Session::SetRowText. The page also shows the sensor's temperature and the colour it
// detects.

#include <QObject>
#include <cstdint>

#include "service/table_attributes.h"
#include "session/page.h"
#include "ui/controls.h"
#include "ui/refresh.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTableWidgetItem;

namespace service {

// Columns of the row-text table (GridSpec).
inline constexpr int kSpecColumnText = 1;
inline constexpr int kSpecColumnColor = 2;

// Values of the colour mode selector.
inline constexpr int kColorModeManual = 0;
inline constexpr int kColorModeAutomatic = 1;

class TableAttributesPage final : public session::Page {
  public:
    explicit TableAttributesPage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void StartUp() override;
    // The row sections of the panel settings file, read without a report.
    void ReadSettings(const ini::IniObject& file) override;
    void WriteSettings(ini::IniObject& file) override;
    void MainPageSelected(int page) override;
    // The temperature and the detected colour of the last frame, when the page is seen.
    void RefreshFrameDisplays();

    // Automatic colour mode: teaching a row takes the detected colour as its colour.
    bool AutomaticColors() const { return automatic_; }

    // The attributes as the session holds them.
    RowAttributes Attributes() const;

  private:
    static const ui::ControlRow<TableAttributesPage> kControls[];

    // --- callbacks -------------------------------------------------------------------
    void CBF_EditSetColor(ui::Event e);
    void CBF_EditRow(ui::Event e);
    void CBF_EditColorNumericRow(ui::Event e);
    void CBF_ButtonSetRowColor(ui::Event e);
    void CBF_ButtonSaveArray(ui::Event e);
    void CBF_ButtonGetArray(ui::Event e);
    void CBF_ButtonTableAttrReset(ui::Event e);

    // Controls.
    QComboBox* colorMode = nullptr;
    QSpinBox* row = nullptr;
    QSpinBox* color = nullptr;
    QFrame* colorPreview = nullptr;
    QPushButton* setColor = nullptr;
    QPushButton* save = nullptr;
    QPushButton* load = nullptr;
    QPushButton* reset = nullptr;
    QTableWidget* specTable = nullptr;
    QLineEdit* temperature = nullptr;
    QFrame* detectedColor = nullptr;
    QLabel* detectedLabel = nullptr;

    void UpdateMode();
    void SetRowColor();
    void SaveFile();
    void LoadFile();
    void ResetTable();
    // Texts and colours into the session (and from there into the tables).
    void Apply(const RowAttributes& rows);
    void PaintColorColumn();
    void ShowRowTexts();
    void RowTextEdited(const QTableWidgetItem* item);
    void PaintRowLabels();
    void AddFrameDisplays();
    ui::Refresh frameDisplays_{[this] { RefreshFrameDisplays(); }};
    int temperatureShown_ = -1;
    std::int64_t colorShown_ = -1;

    bool automatic_ = false;
    // Context of the session connections: they end with the page.
    QObject connections_;
};

}  // namespace service
