// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The About window "Über": who makes Varnok, the maker's web page and mail
// address as links, and that the program is freeware.
//
// Use from the main window's menu entry:
//   UeberForm::open(this, [](const QString &t) { MainForm::OpenWithShell(t); });
// Like the help window it is a top-level window of its own, deletes itself
// when closed and keeps `mainWindow` disabled while it is open.

#include "sidewindow.h"

namespace varnok {

class UeberForm : public sidewindow::SideWindow
{
    Q_OBJECT
public:
    UeberForm(QWidget *mainWindow, ShellOpen linkOpener);
    ~UeberForm() override;

    // Creates, shows and activates an About window; it deletes itself on close.
    static UeberForm *open(QWidget *mainWindow, ShellOpen linkOpener);

    static QString freewareText();
};

} // namespace varnok
