#include "ui/popups.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace ui {

// A dialog is centred over its parent's window and kept on that window's screen. The
// parent is the main window, not whichever window is active: once a pop-up has closed no
// window may be active (no window manager hands the focus back), and a dialog without a
// parent lands in the middle of the screen, far from the program. A pop-up asked for while
// another is open (a message over the password prompt) goes over that one.
QWidget* QtPopups::DialogParent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* owner = Owner(); owner && owner->isVisible()) return owner;
    return QApplication::activeWindow();
}

void QtPopups::Message(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, DialogParent());
    if (title.compare("ATTENTION!", Qt::CaseInsensitive) == 0)
        box.setIcon(QMessageBox::Warning);
    else
        box.setIcon(QMessageBox::Information);
    box.exec();
}

bool QtPopups::Confirm(const QString& title, const QString& text) {
    return QMessageBox::question(DialogParent(), title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> QtPopups::FileSelect(const FileDialogSpec& spec) {
    QString start = spec.directory;
    if (!spec.defaultName.isEmpty()) start = QDir(spec.directory).filePath(spec.defaultName);
    const QString filter = spec.filter.isEmpty() ? QString() : spec.filter + ";;*";
    QFileDialog dialog(DialogParent(), spec.title, start, filter);
    dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!spec.defaultName.isEmpty()) dialog.selectFile(spec.defaultName);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !spec.askOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString path = dialog.selectedFiles().first();
    if (path.isEmpty()) return std::nullopt;
    if (!spec.save && !QFileInfo(path).isFile()) return std::nullopt;
    return QDir::toNativeSeparators(path);
}

std::optional<QString> QtPopups::Prompt(const QString& title, const QString& text, int maxLength) {
    QInputDialog dialog(DialogParent());
    dialog.setWindowTitle(title);
    dialog.setLabelText(text);
    dialog.setInputMode(QInputDialog::TextInput);
    // The field takes no more than the answer may have: nothing typed is dropped unseen.
    if (auto* field = dialog.findChild<QLineEdit*>()) field->setMaxLength(maxLength);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().left(maxLength);
}

bool QtPopups::PrintSetup(QPrinter& printer, const QString& pdfName) {
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        // No printer: the dialog's PDF file is the one choice; propose a name for it.
        QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QDir(folder).filePath(pdfName));
    }
    QPrintDialog dialog(&printer, DialogParent());
    return dialog.exec() == QDialog::Accepted;
}

QStringList ScriptedPopups::Texts() const {
    QStringList texts;
    for (const Shown& s : shown_) texts << s.text;
    return texts;
}

QStringList ScriptedPopups::Messages() const {
    QStringList texts;
    for (const Shown& s : shown_)
        if (s.kind == Kind::Message) texts << s.text;
    return texts;
}

void ScriptedPopups::Message(const QString& title, const QString& text) {
    shown_.push_back({Kind::Message, title, text, {}});
}

bool ScriptedPopups::Confirm(const QString& title, const QString& text) {
    shown_.push_back({Kind::Confirm, title, text, {}});
    if (confirms_.empty()) return false;
    bool yes = confirms_.front();
    confirms_.pop_front();
    return yes;
}

std::optional<QString> ScriptedPopups::FileSelect(const FileDialogSpec& spec) {
    shown_.push_back({Kind::FileSelect, spec.title, {}, spec});
    if (files_.empty()) return std::nullopt;
    auto path = files_.front();
    files_.pop_front();
    if (path && !spec.save && !QFileInfo(*path).isFile()) return std::nullopt;
    return path;
}

std::optional<QString> ScriptedPopups::Prompt(const QString& title, const QString& text,
                                              int maxLength) {
    shown_.push_back({Kind::Prompt, title, text, {}});
    if (prompts_.empty()) return std::nullopt;
    auto value = prompts_.front();
    prompts_.pop_front();
    if (value) *value = value->left(maxLength);
    return value;
}

}  // namespace ui

namespace ui {

bool ScriptedPopups::PrintSetup(QPrinter& printer, const QString& pdfName) {
    shown_.push_back({Kind::Print, QStringLiteral("Print"), pdfName, {}});
    if (prints_.empty() || !prints_.front()) {
        if (!prints_.empty()) prints_.pop_front();
        return false;
    }
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(*prints_.front());
    prints_.pop_front();
    return true;
}

}  // namespace ui
