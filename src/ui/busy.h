#pragma once
// The busy convention: while a callback talks to the sensor, the buttons that would start
// another exchange are dimmed. Each page registers its own buttons; a BusyScope dims them
// for as long as it lives and undims them on every way out (early return, failed link,
// a window closed inside a nested wait).

#include <QPointer>
#include <QWidget>
#include <vector>

namespace ui {

enum class BusyRole {
    Transfer,     // SEND, GET and the memory selector: usable while the live loop runs
    Transaction,  // dimmed by every busy callback, undimmed after it
    DimOnly,      // dimmed with the rest; only its page frees it again (after a success)
};

class Busy {
  public:
    void Register(QWidget* control, BusyRole role);

    // Dims (or undims) every registered control; with keepTransferButtons the transfer
    // controls stay as they are. One pass of events follows, so the user sees it at once.
    void SetButtonsDimmed(bool keepTransferButtons, bool dimmed);

  private:
    struct Entry {
        QPointer<QWidget> control;
        BusyRole role;
    };
    std::vector<Entry> entries_;
};

class BusyScope {
  public:
    // GO keeps the transfer buttons usable: pressed during the live loop they only ask the
    // loop to do the transfer between two frames.
    explicit BusyScope(Busy& busy, bool keepTransferButtons = false);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    Busy& busy_;
};

}  // namespace ui
