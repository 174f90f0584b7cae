#pragma once
// Every modal message, confirmation, prompt and file dialog of the program goes through
// this interface. The program uses QtPopups; tests use ScriptedPopups, which records what
// was shown and answers from a script, so no test ever blocks on a dialog.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <optional>
#include <vector>

class QPrinter;

namespace ui {

struct FileDialogSpec {
    QString directory;    // the remembered directory of this file kind
    QString defaultName;  // proposed file name, may be empty
    QString filter;       // e.g. "*.ini"
    QString title;
    bool save = false;  // false: only an existing file counts
    // A caller that asks its own question about an existing file turns the dialog's off,
    // so the user is not asked twice.
    bool askOverwrite = true;
};

class Popups {
  public:
    virtual ~Popups() = default;
    // The program's main window: every pop-up opens over it, wherever the last one was
    // and whichever window had the focus.
    void SetOwner(QWidget* window) { owner_ = window; }
    QWidget* Owner() const { return owner_; }
    virtual void Message(const QString& title, const QString& text) = 0;
    // Yes/No question; true for Yes.
    virtual bool Confirm(const QString& title, const QString& text) = 0;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<QString> FileSelect(const FileDialogSpec& spec) = 0;
    // A line of text, or nothing when cancelled.
    virtual std::optional<QString> Prompt(const QString& title, const QString& text,
                                          int maxLength) = 0;
    // The system's print dialog for `printer`; false when cancelled. Where no printer is
    // installed the dialog offers a PDF file, named after `pdfName` in the documents folder.
    virtual bool PrintSetup(QPrinter& printer, const QString& pdfName) = 0;

  private:
    QPointer<QWidget> owner_;
};

class QtPopups : public Popups {
  public:
    void Message(const QString& title, const QString& text) override;
    bool Confirm(const QString& title, const QString& text) override;
    std::optional<QString> FileSelect(const FileDialogSpec& spec) override;
    std::optional<QString> Prompt(const QString& title, const QString& text,
                                  int maxLength) override;
    bool PrintSetup(QPrinter& printer, const QString& pdfName) override;

  private:
    QWidget* DialogParent() const;
};

class ScriptedPopups : public Popups {
  public:
    enum class Kind { Message, Confirm, FileSelect, Prompt, Print };
    struct Shown {
        Kind kind;
        QString title;
        QString text;
        FileDialogSpec file;
    };

    // Answers, consumed in order. A confirmation without a scripted answer says No, a
    // file dialog or prompt without one is cancelled.
    void AnswerConfirm(bool yes) { confirms_.push_back(yes); }
    void AnswerFile(std::optional<QString> path) { files_.push_back(std::move(path)); }
    void AnswerPrompt(std::optional<QString> text) { prompts_.push_back(std::move(text)); }
    // A print dialog confirmed with a PDF file as the printer, or cancelled (nothing).
    void AnswerPrint(std::optional<QString> pdfPath) { prints_.push_back(std::move(pdfPath)); }

    const std::vector<Shown>& History() const { return shown_; }
    QStringList Texts() const;     // texts of every pop-up shown, in order
    QStringList Messages() const;  // texts of message pop-ups only
    void Clear() { shown_.clear(); }

    void Message(const QString& title, const QString& text) override;
    bool Confirm(const QString& title, const QString& text) override;
    std::optional<QString> FileSelect(const FileDialogSpec& spec) override;
    std::optional<QString> Prompt(const QString& title, const QString& text,
                                  int maxLength) override;
    bool PrintSetup(QPrinter& printer, const QString& pdfName) override;

  private:
    std::vector<Shown> shown_;
    std::deque<bool> confirms_;
    std::deque<std::optional<QString>> files_;
    std::deque<std::optional<QString>> prompts_;
    std::deque<std::optional<QString>> prints_;
};

}  // namespace ui
