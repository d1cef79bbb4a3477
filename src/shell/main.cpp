// varnok: the desktop program. It takes no command-line options.

#include "shell/application.h"
#include "widgets/dialogs.h"
#include "shell/mainform.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnok"));
    const auto translator = varnok::installGermanTranslations(app);
    varnok::WidgetDialogs dialogs;
    varnok::MainForm form(dialogs);
    form.show();
    return app.exec();
}
