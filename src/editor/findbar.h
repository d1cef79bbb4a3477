// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The script window's find bar: find (Ctrl+F, F3, Shift+F3), replace and
// replace all (Ctrl+H) and go to a line (Ctrl+G), on the editor's exact
// text. It sits below the editor, not in a dialog, and Escape closes it.

#include "common/textsearch.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace varnok {

class TextBox;

class FindBar final : public QWidget
{
    Q_OBJECT
public:
    explicit FindBar(TextBox *editor, QWidget *parent = nullptr);

    enum class Mode { Find, Replace, GoToLine };
    // Shows the bar in `mode`, the find field filled with the editor's
    // selection when that is a part of one line.
    void open(Mode mode);
    void close();
    Mode mode() const { return m_mode; }

    // False when there is no match; the selection then stays.
    bool findNext(bool backward = false);
    void replaceOne();
    // Every match, as one edit of the text (one undo step); how many.
    qsizetype replaceAll();
    bool goToLine(qsizetype line);

    QLineEdit *findField() const { return m_find; }
    QLineEdit *replaceField() const { return m_replace; }
    QLineEdit *lineField() const { return m_line; }
    QCheckBox *matchCaseBox() const { return m_case; }
    QCheckBox *wholeWordBox() const { return m_word; }
    QString info() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    SearchOptions options() const;
    void patternChanged();
    void say(const QString &text);

    TextBox *m_editor;
    Mode m_mode = Mode::Find;
    QWidget *m_findRow = nullptr;
    QWidget *m_replaceRow = nullptr;
    QWidget *m_lineRow = nullptr;
    QLineEdit *m_find = nullptr;
    QLineEdit *m_replace = nullptr;
    QLineEdit *m_line = nullptr;
    QCheckBox *m_case = nullptr;
    QCheckBox *m_word = nullptr;
    QLabel *m_info = nullptr;
    QLabel *m_lineInfo = nullptr;
};

} // namespace varnok
