// SPDX-License-Identifier: GPL-3.0-or-later
#include "verbindungdialog.h"

#include "common/textmodel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace varnok {

namespace {

struct Row
{
    VerbindungValue value;
    const char16_t *caption;
    const char16_t *hint;
};

constexpr Row kRows[] = {
    {VerbindungValue::Ca, u"CA-Datei:", u"PEM-Datei mit weiteren vertrauten Zertifikaten"},
    {VerbindungValue::Zertifikat, u"Client-Zertifikat:", u"PEM-Datei (mit Kette) oder PKCS#12-Datei"},
    {VerbindungValue::Schluessel, u"Schlüssel:", u"PEM-Datei; leer: in der Zertifikatsdatei"},
    {VerbindungValue::Passwort, u"Passwort:", u"für den Schlüssel oder die PKCS#12-Datei"},
    {VerbindungValue::Adresse, u"Adresse:", u"Host oder IP-Adresse; Host-Zeile und TLS-Name bleiben"},
};

std::size_t slot(VerbindungValue v)
{
    return std::size_t(v);
}

} // namespace

VerbindungDialog::VerbindungDialog(const Models &models, const QStringList &tlsDetails, const QString &title,
                                   QWidget *parent)
    : QDialog(parent), m_models(models)
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("VerbindungDialog"));
    auto *form = new QFormLayout;
    for (const Row &row : kRows) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(kVerbindungNames[slot(row.value)].toString());
        edit->setPlaceholderText(QString::fromUtf16(row.hint));
        edit->setToolTip(QString::fromUtf16(row.hint));
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 64);
        if (row.value == VerbindungValue::Passwort)
            edit->setEchoMode(QLineEdit::Password);
        m_edits[slot(row.value)] = edit;
        form->addRow(QString::fromUtf16(row.caption), edit);
    }
    m_ip = new QComboBox(this);
    m_ip->setObjectName(QStringLiteral("IP"));
    m_ip->addItem(QStringLiteral("IPv4 oder IPv6"), QString());
    m_ip->addItem(QStringLiteral("nur IPv4"), QStringLiteral("4"));
    m_ip->addItem(QStringLiteral("nur IPv6"), QStringLiteral("6"));
    form->addRow(QStringLiteral("IP:"), m_ip);
    for (std::size_t i = 0; i < kVerbindungValueCount; ++i)
        setValue(VerbindungValue(i), m_models[i] ? m_models[i]->text() : QString());

    m_tls = new QPlainTextEdit(this);
    m_tls->setObjectName(QStringLiteral("TlsDetails"));
    m_tls->setReadOnly(true);
    m_tls->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_tls->setPlainText(tlsDetails.isEmpty() ? QStringLiteral("Noch keine TLS-Verbindung.")
                                             : tlsDetails.join(u'\n'));
    m_tls->setFixedHeight(m_tls->fontMetrics().lineSpacing() * 7);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        apply();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Gilt ab dem nächsten Senden."), this));
    layout->addWidget(new QLabel(QStringLiteral("TLS der letzten Verbindung:"), this));
    layout->addWidget(m_tls);
    layout->addWidget(buttons);
}

QString VerbindungDialog::value(VerbindungValue v) const
{
    if (v == VerbindungValue::Ip)
        return m_ip->currentData().toString();
    return m_edits[slot(v)]->text();
}

void VerbindungDialog::setValue(VerbindungValue v, const QString &text)
{
    if (v != VerbindungValue::Ip) {
        m_edits[slot(v)]->setText(text);
        return;
    }
    // A script may have written any text; it is shown and kept as it is.
    int index = m_ip->findData(text);
    if (index < 0) {
        m_ip->addItem(text, text);
        index = m_ip->count() - 1;
    }
    m_ip->setCurrentIndex(index);
}

QString VerbindungDialog::tlsDetailsText() const
{
    return m_tls->toPlainText();
}

void VerbindungDialog::apply()
{
    for (std::size_t i = 0; i < kVerbindungValueCount; ++i)
        if (m_models[i] && m_models[i]->text() != value(VerbindungValue(i)))
            m_models[i]->setText(value(VerbindungValue(i)));
}

} // namespace varnok
