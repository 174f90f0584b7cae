#pragma once
// The hardware information file: a service snapshot the user sends to the supplier. HW INFO
// FILE (on the connection page) reads the parameter set from the sensor's RAM, the
// correction values and the hardware block, asks where to write the file and says in the
// message box whether it was written. The button is usable only while the sensor is known
// to answer (Session::SensorConfirmed), and busy work dims it until then.

#include "session/page.h"

class QPushButton;

namespace service {

class HardwareFilePage final : public session::Page {
  public:
    explicit HardwareFilePage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;

  private:
    void CBF_ButtonGenHwInfoFile(ui::Event e);
    void GenerateHardwareInfoFile();

    QPushButton* button_ = nullptr;
};

}  // namespace service
