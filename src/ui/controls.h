#pragma once
// Controls from tables. A page lists its controls once, one row each: the panel and the
// object name in the panel set, the field the control goes into, the callback's name and
// handler, and the help text. AttachControls looks every row up (a missing control or one
// of the wrong kind refuses the panel set before any window shows), binds the callback
// and the right-click help, and gives the control its accessible name (the label beside it
// on the panel, followed as its text changes, or the row's own) and its help text as accessible
// description, so screen readers and GUI test tools find it.

#include <QString>
#include <QWidget>
#include <span>
#include <string_view>
#include <type_traits>

#include "ui/panel_set.h"
#include "ui/runtime.h"

namespace ui {

// Where a looked-up control goes: a typed member of the page.
template <class Page>
struct FieldSlot {
    const QMetaObject* type = nullptr;  // nullptr: the row has no field
    void (*assign)(Page&, QWidget*) = nullptr;
};

namespace detail {
template <class M>
struct MemberTraits;
template <class C, class T>
struct MemberTraits<T * C::*> {
    using Class = C;
    using Type = T;
};
}  // namespace detail

// Field<&MyPage::send>() for a member `QPushButton* send`.
template <auto Member>
constexpr auto Field() {
    using Traits = detail::MemberTraits<decltype(Member)>;
    using Page = typename Traits::Class;
    using T = typename Traits::Type;
    static_assert(std::is_base_of_v<QWidget, T>);
    return FieldSlot<Page>{&T::staticMetaObject,
                           [](Page& page, QWidget* w) { page.*Member = static_cast<T*>(w); }};
}

template <class Page>
struct ControlRow {
    const char* panel;
    const char* name;
    FieldSlot<Page> field;                   // {}: the page keeps no pointer
    const char* callback = nullptr;          // nullptr: not bound
    void (Page::*handler)(Event) = nullptr;  // nullptr: help only
    const char* help = nullptr;              // nullptr: none (or the page's help table)
    const char* label = nullptr;             // accessible name where no label is beside it
};

// Looks a control up by its type; nullptr (and noted as missing) when absent or of
// another kind.
QWidget* LookUpControl(Lookup& look, const char* panel, const char* name, const QMetaObject* type);

// Binds one control: callback, help, accessible name and description.
void AttachControl(Runtime& runtime, QWidget* control, const char* callback, Callback handler,
                   const QString& help, const char* label);

// A control that fills a placeholder of the panel set and keeps the mouse to itself (a
// graph) stands in for it: the placeholder's callback name, right-click help, accessible
// name and description.
void StandIn(Runtime& runtime, QWidget* control, QWidget* placeholder);

// The name a screen reader hears for `control`: its accessible name, or where it has none,
// what Qt derives from the text it shows (a button's text, the label whose buddy it is).
QString AnnouncedName(QWidget* control);

// The label a user sees beside `control` on its panel: its own text (buttons, check
// boxes), a label whose buddy it is, its label in a form layout, or the label on its
// left in a grid layout. Empty when there is none.
QString LabelBeside(const QWidget* control);

// Looks up and binds every row. `helpOf` gives the help text of a callback name for rows
// without one (the help tables of a subsystem); it may be empty.
template <class Page>
void AttachControls(Lookup& look, Runtime& runtime, Page& page,
                    std::span<const ControlRow<Page>> rows,
                    const char* (*helpOf)(std::string_view callback) = nullptr) {
    for (const ControlRow<Page>& row : rows) {
        QWidget* control =
            LookUpControl(look, row.panel, row.name,
                          row.field.type ? row.field.type : &QWidget::staticMetaObject);
        if (!control) continue;
        if (row.field.assign) row.field.assign(page, control);
        const char* help = row.help;
        if (!help && helpOf && row.callback) help = helpOf(row.callback);
        Callback cb;
        if (row.handler) cb = [&page, h = row.handler](Event e) { (page.*h)(e); };
        AttachControl(runtime, control, row.callback, std::move(cb),
                      help ? QString::fromUtf8(help) : QString(), row.label);
    }
}

}  // namespace ui
