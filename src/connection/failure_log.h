#pragma once
// The log of what happened on the link: the connection page's message box, kept bounded,
// and the failure display. A failure shows "TIMEOUT!" in the data panel's status, its text
// in the box and the connection page in front, where the user fixes the link.

#include <QString>

class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace connection {

class FailureLog {
  public:
    // The box, the status display and the main tab control; the box gets its limits here.
    void Attach(QPlainTextEdit* box, QLineEdit* status, QTabWidget* mainTabs);

    // Text at the end of the box, scrolled into view.
    void Append(const QString& text);
    QString Text() const;
    void Clear();
    // A link failure: "TIMEOUT!", the text and an empty line, the connection page in front.
    void ShowFailure(const QString& message);

  private:
    QPlainTextEdit* box_ = nullptr;
    QLineEdit* status_ = nullptr;
    QTabWidget* mainTabs_ = nullptr;
};

}  // namespace connection
