// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The request window "Seite": request fields on the left, the answer's
// header fields on the right, the answer body along the bottom. "Senden"
// connects to Server:Port, sends the request composed from the fields and
// shows the raw answer; the window's Status (0 ready, 1 connecting, 2
// receiving the header, 3 receiving data) is published to scripts through
// the engine. The window is a view of a SeiteDocument (the field models and
// the request engine, RequestSession): it holds the controls, shows the
// caption and the status label the session reports and presses its toggle.
//
// The main window's host (WindowHost) opens the document, registers it and
// its index; the main window then shows it:
//   auto *w = new SeiteWindow(document);
//   QMdiSubWindow *sub = mdiArea->addSubWindow(w);   // frame owned by the area
//   sub->show();                                      // load: frame 10000 x 10000 twips
//
// The document owns every text model; the script variables hold them
// weakly, so a closed window reads as empty text. Closing the window
// (closeEvent accepted) closes the document, which ends its connection and
// timer at once; from then on it publishes nothing and ignores every call.
// Delete the window later (deleteLater or WA_DeleteOnClose), not from inside
// the closed() signal.

#include "objects/windowobjects.h"
#include "request/requestsession.h"
#include "request/seitedocument.h"
#include "request/verbindungdialog.h"

#include <QAnyStringView>
#include <QList>
#include <QPointer>
#include <QSslCertificate>
#include <QWidget>
#include <memory>
#include <vector>

class QFrame;
class QLabel;
class QPushButton;

namespace varnok {

class Engine;
class OutputView;

class StatusLabel;
class TextBox;
class TextModel;

class SeiteWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = RequestSession::kTimeoutMs;

    explicit SeiteWindow(std::shared_ptr<SeiteDocument> document, QWidget *parent = nullptr);
    // A window with a document of its own (tests, benchmarks). Without a
    // clock the session uses the system's.
    explicit SeiteWindow(Engine &engine, QWidget *parent = nullptr,
                         std::unique_ptr<RequestClock> clock = nullptr);
    ~SeiteWindow() override;

    SeiteDocument &document() const { return *m_document; }
    // The Tag; the main window sets the caption "Seite N" itself.
    void setIndex(int index) { m_document->setIndex(index); }
    int index() const { return m_document->index(); }
    // The models, for RegisterSeiteFenster.
    SeiteFields fields() const { return m_document->fields(); }
    // Command1 is enabled (nothing in the window ever disables it).
    bool sendEnabled() const;
    // The Send/Stop toggle: sends when the button reads "Senden", stops
    // otherwise. Does nothing once the window is closed.
    void Command1_Click() { m_document->Command1_Click(); }
    // The timeout without data after which the request is sent again.
    void setTimeoutInterval(int ms);
    int timeoutInterval() const;
    // 0 idle, 1 connecting or request sent, 2 header, 3 data.
    int requestState() const { return session().requestState(); }
    // Where the window names its open connection's socket, for a script
    // run that waits in a loop (the main window's yield).
    void setReceptionWatch(std::weak_ptr<ReceptionWatch> watch);
    // For tests: https:// checks certificates against these instead of the
    // system's store (none: the system's store).
    void setTrustedCertificates(const QList<QSslCertificate> &certificates);

    // The window's request engine.
    RequestSession &session() const { return m_document->session(); }

    // For tests and the main window's own look-ups.
    QString buttonCaption() const;
    QString statusLabelText() const;
    // The model and the widget of a text box by its field, and any control
    // by its control name (Text1 .. Text13, Label25 .. Label35, Command1,
    // Label10, the captions); null for any other name.
    const std::shared_ptr<TextModel> &model(SeiteField field) const { return m_document->model(field); }
    QWidget *widget(SeiteField field) const { return m_widgets[field]; }
    QWidget *control(QAnyStringView controlName) const;
    OutputView *outputView() const { return m_output; }
    RequestFields requestFields() const;
    // Pixels for a length in twips, horizontally and vertically.
    int twipsToPixelsX(double twips) const;
    int twipsToPixelsY(double twips) const;

    // Opens the "Verbindung" dialog (Ctrl+Shift+V, or the window's context
    // menu) or brings the open one forward; it is closed with the window.
    void openVerbindungDialog();
    VerbindungDialog *verbindungDialog() const { return m_verbindungDialog; }
    // Asks for the window's Mitschnitt window (Ctrl+Shift+M, or the context
    // menu); the main window opens it as an MDI child of its own, or brings
    // the open one forward.
    void openMitschnittWindow();

signals:
    // Emitted once, when the document closes (closeEvent accepted, or the
    // host closed it).
    void closed(int index);
    // The person asked for the Mitschnitt window (openMitschnittWindow).
    void mitschnittRequested(int index);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    // Right-click where no box has a menu of its own: "Verbindung...",
    // "Mitschnitt...".
    void contextMenuEvent(QContextMenuEvent *event) override;
    // Tab and Shift+Tab follow the window's fixed focus order.
    bool focusNextPrevChild(bool next) override;

private:
    void buildControls();
    void applyLayout();
    void fitCaptionFont();
    void place(QWidget *w, double left, double top, double width, double height);
    TextBox *addBox(const SeiteFieldRow &row);
    QLabel *addCaption(QStringView name, QStringView caption);
    void updateSelectionReadout();

    std::shared_ptr<SeiteDocument> m_document;
    bool m_loaded = false;
    QPointer<VerbindungDialog> m_verbindungDialog;

    SeiteFieldMap<QWidget *> m_widgets;    // every text box's widget, by field
    std::vector<QLabel *> m_captions;

    QPushButton *m_command1 = nullptr;
    StatusLabel *m_label10 = nullptr;
    QFrame *m_line1 = nullptr;
    QFrame *m_line2 = nullptr;
    OutputView *m_output = nullptr;
};

} // namespace varnok
