// SPDX-License-Identifier: GPL-3.0-or-later
#include "findbar.h"

#include "common/textmodel.h"
#include "widgets/textbox.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnok {

namespace {

QWidget *row(QWidget *parent, QHBoxLayout *&layout)
{
    auto *w = new QWidget(parent);
    layout = new QHBoxLayout(w);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    return w;
}

} // namespace

FindBar::FindBar(TextBox *editor, QWidget *parent) : QWidget(parent), m_editor(editor)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QHBoxLayout *h = nullptr;
    m_findRow = row(this, h);
    h->addWidget(new QLabel(QStringLiteral("Suchen:"), m_findRow));
    m_find = new QLineEdit(m_findRow);
    h->addWidget(m_find, 1);
    auto *previous = new QToolButton(m_findRow);
    previous->setText(QStringLiteral("▲"));
    previous->setToolTip(QStringLiteral("Vorheriger Treffer (Umschalt+F3)"));
    auto *next = new QToolButton(m_findRow);
    next->setText(QStringLiteral("▼"));
    next->setToolTip(QStringLiteral("Nächster Treffer (F3)"));
    h->addWidget(previous);
    h->addWidget(next);
    m_case = new QCheckBox(QStringLiteral("Groß/klein"), m_findRow);
    m_word = new QCheckBox(QStringLiteral("Ganzes Wort"), m_findRow);
    h->addWidget(m_case);
    h->addWidget(m_word);
    m_info = new QLabel(m_findRow);
    h->addWidget(m_info);
    auto *closer = new QToolButton(m_findRow);
    closer->setText(QStringLiteral("✕"));
    closer->setToolTip(QStringLiteral("Schließen (Esc)"));
    closer->setAutoRaise(true);
    h->addWidget(closer);
    layout->addWidget(m_findRow);

    m_replaceRow = row(this, h);
    h->addWidget(new QLabel(QStringLiteral("Ersetzen:"), m_replaceRow));
    m_replace = new QLineEdit(m_replaceRow);
    h->addWidget(m_replace, 1);
    auto *one = new QPushButton(QStringLiteral("Ersetzen"), m_replaceRow);
    auto *all = new QPushButton(QStringLiteral("Alle ersetzen"), m_replaceRow);
    one->setAutoDefault(false);
    all->setAutoDefault(false);
    h->addWidget(one);
    h->addWidget(all);
    layout->addWidget(m_replaceRow);

    m_lineRow = row(this, h);
    h->addWidget(new QLabel(QStringLiteral("Gehe zu Zeile:"), m_lineRow));
    m_line = new QLineEdit(m_lineRow);
    m_line->setValidator(new QIntValidator(1, 1 << 30, m_line));
    h->addWidget(m_line, 1);
    m_lineInfo = new QLabel(m_lineRow);
    h->addWidget(m_lineInfo);
    layout->addWidget(m_lineRow);

    connect(m_find, &QLineEdit::textChanged, this, &FindBar::patternChanged);
    connect(m_case, &QCheckBox::toggled, this, &FindBar::patternChanged);
    connect(m_word, &QCheckBox::toggled, this, &FindBar::patternChanged);
    connect(m_find, &QLineEdit::returnPressed, this, [this] { findNext(false); });
    connect(next, &QToolButton::clicked, this, [this] { findNext(false); });
    connect(previous, &QToolButton::clicked, this, [this] { findNext(true); });
    connect(m_replace, &QLineEdit::returnPressed, this, &FindBar::replaceOne);
    connect(one, &QPushButton::clicked, this, &FindBar::replaceOne);
    connect(all, &QPushButton::clicked, this, &FindBar::replaceAll);
    connect(m_line, &QLineEdit::returnPressed, this, [this] { goToLine(m_line->text().toLongLong()); });
    connect(closer, &QToolButton::clicked, this, &FindBar::close);
    hide();
}

SearchOptions FindBar::options() const
{
    return {m_case->isChecked(), m_word->isChecked()};
}

QString FindBar::info() const
{
    return m_mode == Mode::GoToLine ? m_lineInfo->text() : m_info->text();
}

void FindBar::say(const QString &text)
{
    (m_mode == Mode::GoToLine ? m_lineInfo : m_info)->setText(text);
}

void FindBar::open(Mode mode)
{
    m_mode = mode;
    const bool lines = mode == Mode::GoToLine;
    m_findRow->setVisible(!lines);
    m_replaceRow->setVisible(mode == Mode::Replace);
    m_lineRow->setVisible(lines);
    say(QString());
    show();
    if (lines) {
        const auto [start, length] = m_editor->shownSelectionInModel();
        Q_UNUSED(length);
        m_line->setText(QString::number(m_editor->modelLineOf(start)));
        m_line->selectAll();
        m_line->setFocus();
        return;
    }
    const QString selected = m_editor->selectedExactText();
    if (!selected.isEmpty() && !selected.contains(u'\r') && !selected.contains(u'\n'))
        m_find->setText(selected);
    m_find->selectAll();
    (mode == Mode::Replace && !m_find->text().isEmpty() ? m_replace : m_find)->setFocus();
    patternChanged();
}

void FindBar::close()
{
    hide();
    m_editor->setSearchHighlight(QString(), false, false);
    m_editor->setFocus();
}

void FindBar::patternChanged()
{
    if (isVisible() && m_mode != Mode::GoToLine)
        m_editor->setSearchHighlight(m_find->text(), m_case->isChecked(), m_word->isChecked());
    say(QString());
}

bool FindBar::findNext(bool backward)
{
    const QString pattern = m_find->text();
    if (pattern.isEmpty())
        return false;
    const QStringView text(m_editor->model()->scriptText());
    const auto [start, length] = m_editor->shownSelectionInModel();
    qsizetype at = findInText(text, pattern, backward ? start : start + length, backward, options());
    bool wrapped = false;
    if (at < 0) {
        at = findInText(text, pattern, backward ? text.size() : 0, backward, options());
        wrapped = at >= 0;
    }
    if (at < 0) {
        say(QStringLiteral("nicht gefunden"));
        return false;
    }
    m_editor->model()->setSelection(at, pattern.size());
    m_editor->syncSelectionNow();
    say(wrapped ? QStringLiteral("von vorn") : QString());
    if (wrapped && backward)
        say(QStringLiteral("von hinten"));
    return true;
}

void FindBar::replaceOne()
{
    const QString pattern = m_find->text();
    if (pattern.isEmpty())
        return;
    if (!m_editor->acceptsUserEdits()) {
        say(QStringLiteral("Nicht möglich während der Skript ausgeführt wird."));
        return;
    }
    const QStringView text(m_editor->model()->scriptText());
    const auto [start, length] = m_editor->shownSelectionInModel();
    // The selection is the match found last: it is replaced, then the
    // next one is found.
    if (length == pattern.size() && findInText(text, pattern, start, false, options()) == start) {
        m_editor->replaceExactRange(start, length, m_replace->text());
        const qsizetype after = start + m_replace->text().size();
        m_editor->model()->setSelection(after, 0);
        m_editor->syncSelectionNow();
    }
    findNext(false);
}

qsizetype FindBar::replaceAll()
{
    const QString pattern = m_find->text();
    if (pattern.isEmpty())
        return 0;
    if (!m_editor->acceptsUserEdits()) {
        say(QStringLiteral("Nicht möglich während der Skript ausgeführt wird."));
        return 0;
    }
    const QStringView text(m_editor->model()->scriptText());
    const SearchOptions o = options();
    const qsizetype first = findInText(text, pattern, 0, false, o);
    if (first < 0) {
        say(QStringLiteral("nicht gefunden"));
        return 0;
    }
    const qsizetype lastEnd = findInText(text, pattern, text.size(), true, o) + pattern.size();
    qsizetype count = 0;
    // Only the stretch from the first to the last match changes: one edit,
    // one undo step, and the rest of the text is not copied.
    const QString replaced = replaceAllInText(text.mid(first, lastEnd - first), pattern, m_replace->text(), o, count);
    m_editor->replaceExactRange(first, lastEnd - first, replaced);
    say(QStringLiteral("%1 ersetzt").arg(count));
    return count;
}

bool FindBar::goToLine(qsizetype line)
{
    const qsizetype start = m_editor->modelLineStart(line);
    if (start < 0) {
        say(QStringLiteral("Zeile %1 gibt es nicht").arg(line));
        return false;
    }
    m_editor->model()->setSelection(start, 0);
    m_editor->syncSelectionNow();
    hide();
    m_editor->setFocus();
    return true;
}

void FindBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && (event->modifiers() & Qt::ShiftModifier) && m_find->hasFocus()) {
        findNext(true);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace varnok
