// SPDX-License-Identifier: GPL-3.0-or-later
#include "ueberform.h"

#include "widgets/linklabel.h"

#include "maker.h"

namespace varnok {

QString UeberForm::freewareText()
{
    return QStringLiteral("Dieses Programm ist Freeware und darf kostenlos weitergegeben werden.");
}

UeberForm::UeberForm(QWidget *mainWindow, ShellOpen linkOpener)
    : SideWindow(QStringLiteral("Über"), 4680, 3255, mainWindow, std::move(linkOpener))
{
    const QFont normal = sidewindow::tahoma(9.75);
    QFont bold = normal;
    bold.setBold(true);
    QFont link = bold;
    link.setUnderline(true);

    auto label = [&](const char *name, const QString &text, const QFont &font, QRect box,
                     bool wrap) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setFont(font);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        l->setWordWrap(wrap);
        l->setGeometry(box);
        return l;
    };
    QLabel *byLine = label("Label1", QStringLiteral("Dieses Programm wurde programmiert von"),
                           normal, twipsRect(120, 120, 4455, 255), false);
    sidewindow::shrinkToWidth(byLine, byLine->width());
    QLabel *makerName = label("Label2", maker::name(), bold, {}, false);
    makerName->setToolTip(QStringLiteral("Programmierer dieses Programms"));
    placeSizedToText(makerName, twipsRect(1725, 360, 1245, 240));
    label("Label3",
          QStringLiteral("Weitere Programme, sowie Hilfe und Updates finden Sie auf folgender Seite:"),
          normal, twipsRect(120, 720, 4455, 495), true);
    label("Label5", QStringLiteral("Fragen, Fehler, etc. bitte an folgende E-Mail-Adresse:"), normal,
          twipsRect(120, 1560, 4455, 495), true);
    label("Label7", freewareText(), normal, twipsRect(120, 2400, 4455, 855), true);

    auto *web = new LinkLabel(maker::webAddress(), this);
    web->setObjectName(QStringLiteral("Label4"));
    web->setFont(link);
    web->setToolTip(maker::webServerToolTip());
    placeSizedToText(web, twipsRect(1365, 1200, 1965, 240));
    connect(web, &LinkLabel::clicked, this, [this] { openLink(maker::webUrl()); });

    auto *mail = new LinkLabel(maker::mailAddress(), this);
    mail->setObjectName(QStringLiteral("Label6"));
    mail->setFont(link);
    mail->setToolTip(QStringLiteral("meine E-Mail-Adresse"));
    placeSizedToText(mail, twipsRect(1275, 2040, 2145, 240));
    connect(mail, &LinkLabel::clicked, this,
            [this] { openLink(maker::mailLink()); });
}

UeberForm::~UeberForm() = default;

UeberForm *UeberForm::open(QWidget *mainWindow, ShellOpen linkOpener)
{
    auto *form = new UeberForm(mainWindow, std::move(linkOpener));
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

} // namespace varnok
