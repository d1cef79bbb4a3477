// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real boxes and dialogs of Qt.

#include "common/dialogs.h"

namespace varnok {

// A box is modal to the widget it is given; anything else gives it no
// parent.
class WidgetDialogs : public Dialogs
{
public:
    void message(QObject *parent, const QString &title, const QString &text) override;
    void scriptErrorMessage(QObject *parent, const QString &title, const QString &text,
                            const ErrorPlace &place) override;
    bool askYesNo(QObject *parent, const QString &title, const QString &text) override;
    std::optional<QString> openFile(QObject *parent, const FileDialogSettings &settings) override;
    std::optional<QString> saveFile(QObject *parent, const FileDialogSettings &settings) override;
};

} // namespace varnok
