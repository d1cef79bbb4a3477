// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help window "Anleitung": the fixed help text and the maker's web page.
//
// Use from the main window's menu entry:
//   HilfeForm::open(this, [](const QString &t) { MainForm::OpenWithShell(t); });
// The form is a top-level window of its own (no parent), deletes itself
// when closed, disables `mainWindow` while it is open and enables it again
// when it closes or is destroyed. Keep a QPointer to it to raise an open one
// instead of opening a second.

#include "sidewindow.h"

#include <QString>

#include <memory>

namespace varnok {

class TextModel;
class TextBox;

class HilfeForm : public sidewindow::SideWindow
{
    Q_OBJECT
public:
    HilfeForm(QWidget *mainWindow, ShellOpen linkOpener);
    ~HilfeForm() override;

    // Creates, shows and activates a help window; it deletes itself on close.
    static HilfeForm *open(QWidget *mainWindow, ShellOpen linkOpener);

    // The whole help text: the introduction followed by the reference list,
    // lines ending in CR LF.
    static QString helpText();
    static QString introduction();
    static QString referenceList();

    TextBox *textBox() const { return m_text; }

private:
    std::shared_ptr<TextModel> m_model;
    TextBox *m_text = nullptr;
};

} // namespace varnok
