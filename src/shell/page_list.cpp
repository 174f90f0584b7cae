#include "shell/page_list.h"

#include "calib/calib_page.h"
#include "calib/password_gate.h"
#include "connection/connection_page.h"
#include "measure/measure_page.h"
#include "params/parameter_panel.h"
#include "recorder/recorder_page.h"
#include "scope/scope_page.h"
#include "service/hardware_file_page.h"
#include "service/table_attributes_page.h"
#include "teach/teach_page.h"

namespace shell {

namespace {
template <class T>
session::PageFactory Make() {
    return [](session::PageContext& context) { return std::make_unique<T>(context); };
}
}  // namespace

session::PageFactories AllPages() {
    return {Make<connection::ConnectionPage>(),
            Make<params::ParameterPanel>(),
            Make<service::TableAttributesPage>(),
            Make<measure::MeasurePage>(),
            Make<teach::TeachPage>(),
            Make<recorder::RecorderPage>(),
            Make<scope::ScopePage>(),
            Make<calib::CalibPage>(),
            Make<calib::PasswordGate>(),
            Make<service::HardwareFilePage>()};
}

}  // namespace shell
