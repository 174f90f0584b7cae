#include "calib/password_gate.h"

#include <QFrame>
#include <QLineEdit>

#include "ui/controls.h"

namespace calib {

namespace {

// Compared exactly, case and blanks included.
constexpr char kServicePassword[] = "tovrin";
constexpr const char* kWrongPassword = "Wrong password. \nPlease try again.";
constexpr int kPasswordMaxLength = 20;

}  // namespace

void PasswordGate::LookUp(ui::Lookup& look) {
    panel_ = look.PanelOf("PASSWORDP");
    decoration_ = static_cast<QFrame*>(
        ui::LookUpControl(look, "MAINP", "DecoCalibrate1", &QFrame::staticMetaObject));
    // The field has no help; it is bound for its commit (Enter).
    password_ = static_cast<QLineEdit*>(
        ui::LookUpControl(look, "PASSWORDP", "StringEnterPW", &QLineEdit::staticMetaObject));
    if (!look.Ok()) return;
    ui::AttachControl(
        ctx.runtime, decoration_, "CBF_DecoCalibrate1",
        [this](ui::Event e) { CBF_DecoCalibrate1(e); }, {}, "Calibration page decoration");
    ui::AttachControl(
        ctx.runtime, password_, "CBF_StringEnterPW", [this](ui::Event e) { CBF_StringEnterPW(e); },
        {}, "Password");
    // The decoration takes no focus; on its page the keys of its gesture reach it.
    ctx.runtime.AddRightDoubleClickKeys(decoration_);
    ctx.runtime.BindPanel(
        panel_, "CBF_PASSWORDP", [this](ui::Event e) { CBF_PASSWORDP(e); }, true);
}

void PasswordGate::StartUp() {
    ui::MakePasswordField(password_, kPasswordMaxLength);
}

void PasswordGate::CBF_DecoCalibrate1(ui::Event event) {
    if (event != ui::Event::RightDoubleClick) return;
    password_->clear();
    panel_->setWindowModality(Qt::ApplicationModal);
    panel_->show();
    panel_->raise();
    password_->setFocus();
}

void PasswordGate::CBF_StringEnterPW(ui::Event event) {
    if (event != ui::Event::Commit) return;
    // The typed text lives only as long as this check: never kept, written or logged.
    const bool right = password_->text() == QLatin1String(kServicePassword);
    password_->clear();
    if (!right) {
        S().popups.Message(ui::Text(ui::kAttentionTitle), ui::Text(kWrongPassword));
        return;
    }
    ui::SetTabPageVisible(ctx.mainTabs, session::kPageOffset, true);
    ui::SetActiveTabPage(ctx.mainTabs, session::kPageOffset);
    panel_->hide();
}

void PasswordGate::CBF_PASSWORDP(ui::Event event) {
    if (event != ui::Event::Close) return;
    password_->clear();
    panel_->hide();  // nothing unlocked
}

}  // namespace calib
