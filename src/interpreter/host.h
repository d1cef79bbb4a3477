#pragma once
// What the interpreter needs from the application. The widgets implement it
// on the real windows; tests and varnok-run answer it without a person.

#include <QString>

namespace varnok {

class Host
{
public:
    virtual ~Host() = default;

    // Let pending user-interface events run (called after every statement).
    virtual void yield() = 0;
    // A modal box with an OK button and no icon.
    virtual void showMessage(const QString &title, const QString &text) = 0;
    // A modal Yes/No question without icon; true for Yes.
    virtual bool askYesNo(const QString &title, const QString &text) = 0;

    // Window registry and the windows' own handlers.
    virtual int openSeiteWindow() = 0;  // index 1..100, or 0 when all are in use
    virtual int openSkriptWindow() = 0; // likewise
    virtual bool isSeiteWindowOpen(int index) const = 0;
    virtual bool isSkriptWindowOpen(int index) const = 0;
    virtual void seiteSenden(int index) = 0; // Command1_Click when the button is enabled
    virtual void seiteClose(int index) = 0;
    virtual void skriptNeu(int index) = 0;
    virtual bool skriptLaden(int index, const QString &fileName) = 0;
    virtual bool skriptSpeichern(int index, const QString &fileName) = 0;
    virtual void skriptAusfuehren(int index) = 0;
    virtual void skriptClose(int index) = 0;
};

} // namespace varnok
