// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Verbindung" dialog of a request window: the window's connection
// settings (the texts of SeiteFenster(i).Verbindung) to edit, and the TLS
// details of its latest connection to read. OK writes the texts back; they
// apply from the next Senden.

#include "objects/verbindungfields.h"

#include <QDialog>
#include <QStringList>

#include <array>
#include <memory>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace varnok {

class TextModel;

class VerbindungDialog : public QDialog
{
    Q_OBJECT
public:
    using Models = std::array<std::shared_ptr<TextModel>, kVerbindungValueCount>;

    VerbindungDialog(const Models &models, const QStringList &tlsDetails, const QString &title,
                     QWidget *parent = nullptr);

    // What the dialog shows for a value now (the IP choice as its text).
    QString value(VerbindungValue v) const;
    void setValue(VerbindungValue v, const QString &text);
    QString tlsDetailsText() const;

    // Writes every value into its model.
    void apply();

private:
    Models m_models;
    std::array<QLineEdit *, kVerbindungValueCount> m_edits{};
    QComboBox *m_ip = nullptr;
    QPlainTextEdit *m_tls = nullptr;
};

} // namespace varnok
