#include "ui/busy.h"

#include "ui/runtime.h"

namespace ui {

void Busy::Register(QWidget* control, BusyRole role) {
    entries_.push_back({control, role});
}

void Busy::SetButtonsDimmed(bool keepTransferButtons, bool dimmed) {
    for (const Entry& e : entries_) {
        if (!e.control) continue;
        if (e.role == BusyRole::Transfer && keepTransferButtons) continue;
        if (e.role == BusyRole::DimOnly && !dimmed) continue;
        SetDimmed(e.control, dimmed);
    }
    ProcessSystemEvents();
}

BusyScope::BusyScope(Busy& busy, bool keepTransferButtons) : busy_(busy) {
    busy_.SetButtonsDimmed(keepTransferButtons, true);
}

BusyScope::~BusyScope() {
    busy_.SetButtonsDimmed(false, false);
}

}  // namespace ui
