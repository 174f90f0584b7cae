#pragma once
// The recorder page: record file, mode and start, and the record graph panel.

#include "session/page.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace recorder {

class RecorderPage final : public session::Page {
  public:
    explicit RecorderPage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void ReadSettings(const ini::IniObject& file) override;

    QPushButton* fileSelect = nullptr;
    QComboBox* mode = nullptr;
    QPushButton* start = nullptr;
    QPushButton* startTriggered = nullptr;
    QLineEdit* path = nullptr;
    QLineEdit* identification = nullptr;
};

}  // namespace recorder
