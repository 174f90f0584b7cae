#include "connection/failure_log.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>

#include "session/app_state.h"
#include "ui/runtime.h"

namespace connection {

namespace {

// The box keeps a long session's history, but not without bound.
constexpr int kMessageBoxBlocks = 5000;

}  // namespace

void FailureLog::Attach(QPlainTextEdit* box, QLineEdit* status, QTabWidget* mainTabs) {
    box_ = box;
    status_ = status;
    mainTabs_ = mainTabs;
    box_->setMaximumBlockCount(kMessageBoxBlocks);
    // Messages wrap in the narrow box; a device path, which has no blanks, anywhere.
    box_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

void FailureLog::Append(const QString& text) {
    QTextCursor cursor(box_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    box_->verticalScrollBar()->setValue(box_->verticalScrollBar()->maximum());
}

QString FailureLog::Text() const {
    return box_->toPlainText();
}

void FailureLog::Clear() {
    box_->clear();
}

void FailureLog::ShowFailure(const QString& message) {
    ui::SetValue(status_, QStringLiteral("TIMEOUT!"));
    Append(message + "\n\n");
    ui::SetActiveTabPage(mainTabs_, session::kPageConnection);
}

}  // namespace connection
