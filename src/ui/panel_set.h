#pragma once
// The panel set: one Qt Designer file holding the program's nine panels side by side
// under a root widget. Loading splits it into its panels; every control the code needs
// is looked up once, right after loading, through a Lookup that remembers what was
// missing, so a panel set without a needed control is refused before any window shows.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

namespace ui {

inline constexpr std::array<const char*, 9> kPanelNames = {
    "MAINP", "DATAP", "GRAPHP", "TEACHP1", "TEACHP2", "SCOPEP", "COLBIGP", "GRPBIGP", "PASSWORDP"};
inline constexpr const char* kPanelSetFile = "Velorax3KvtAnaV10.uir";

class PanelSet {
  public:
    // nullptr when the file is missing, cannot be parsed or lacks one of the nine panels;
    // `error` then says why. The panels come out hidden and without parents; the caller
    // places them.
    static std::unique_ptr<PanelSet> Load(const QString& path, QString* error = nullptr);
    ~PanelSet();
    PanelSet(const PanelSet&) = delete;
    PanelSet& operator=(const PanelSet&) = delete;

    QWidget* Panel(const char* name) const;

  private:
    PanelSet() = default;
    std::array<QPointer<QWidget>, kPanelNames.size()> panels_{};
};

class Lookup {
  public:
    explicit Lookup(const PanelSet& set)
        : panelOf_([&set](const char* name) { return set.Panel(name); }) {}
    // Over one widget standing for the panel of its object name (tests of page tables).
    static Lookup ForWidget(QWidget* panel) {
        return Lookup([panel](const char* name) {
            return panel->objectName() == QLatin1String(name) ? panel : nullptr;
        });
    }

    template <class T>
    T* Get(const char* panel, const char* name) {
        QWidget* p = panelOf_(panel);
        T* control = p ? p->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        if (!control) missing_ << QString::fromLatin1(panel) + "/" + QString::fromLatin1(name);
        return control;
    }
    QWidget* PanelOf(const char* panel) {
        QWidget* p = panelOf_(panel);
        if (!p) missing_ << QString::fromLatin1(panel);
        return p;
    }

    void NoteMissing(const QString& what) { missing_ << what; }

    bool Ok() const { return missing_.isEmpty(); }
    const QStringList& Missing() const { return missing_; }

  private:
    explicit Lookup(std::function<QWidget*(const char*)> panelOf) : panelOf_(std::move(panelOf)) {}
    std::function<QWidget*(const char*)> panelOf_;
    QStringList missing_;
};

}  // namespace ui
