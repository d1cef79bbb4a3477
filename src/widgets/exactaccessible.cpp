// SPDX-License-Identifier: GPL-3.0-or-later
#include "exactaccessible.h"

#include "widgets/textbox.h"

#include <QAccessibleWidget>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <algorithm>

namespace varnok {

namespace {

class ExactTextAccessible final : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    ExactTextAccessible(QWidget *editor, TextBox *box)
        : QAccessibleWidget(editor, QAccessible::EditableText), m_box(box)
    {
    }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return exact();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = m_box->acceptsUserEdits();
        s.readOnly = !s.editable;
        s.multiLine = m_box->mode() == TextBox::Mode::MultiLine;
        s.selectableText = true;
        return s;
    }

    // selection
    void selection(int index, int *start, int *end) const override
    {
        const auto [from, length] = m_box->shownSelectionInModel();
        if (index != 0 || length == 0) {
            *start = *end = 0;
            return;
        }
        *start = int(from);
        *end = int(from + length);
    }
    int selectionCount() const override { return m_box->shownSelectionInModel().second > 0 ? 1 : 0; }
    void addSelection(int start, int end) override { select(start, end); }
    void removeSelection(int) override { select(cursorPosition(), cursorPosition()); }
    void setSelection(int, int start, int end) override { select(start, end); }

    // cursor
    int cursorPosition() const override
    {
        int shown = 0;
        if (QPlainTextEdit *p = m_box->plainTextEdit())
            shown = p->textCursor().position();
        else
            shown = m_box->lineEdit()->cursorPosition();
        return int(m_box->displayToModel(shown));
    }
    void setCursorPosition(int position) override { select(position, position); }

    // text
    QString text(int start, int end) const override
    {
        const QString &t = m_box->model()->scriptText();
        start = std::clamp(start, 0, int(t.size()));
        end = std::clamp(end, start, int(t.size()));
        return t.mid(start, end - start);
    }
    int characterCount() const override { return int(m_box->model()->scriptText().size()); }

    // geometry
    QRect characterRect(int offset) const override
    {
        const int shown = m_box->modelToDisplay(offset);
        if (QPlainTextEdit *p = m_box->plainTextEdit()) {
            QTextCursor c(p->document());
            c.setPosition(std::clamp(shown, 0, p->document()->characterCount() - 1));
            QRect r = p->cursorRect(c);
            r.setWidth(std::max(1, p->fontMetrics().averageCharWidth()));
            return QRect(p->viewport()->mapToGlobal(r.topLeft()), r.size());
        }
        QLineEdit *l = m_box->lineEdit();
        const QFontMetrics fm = l->fontMetrics();
        const int x = fm.horizontalAdvance(l->text().left(shown));
        const QRect cr = l->contentsRect();
        return QRect(l->mapToGlobal(QPoint(cr.left() + x, cr.top())),
                     QSize(std::max(1, fm.averageCharWidth()), cr.height()));
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        if (QPlainTextEdit *p = m_box->plainTextEdit())
            return int(m_box->displayToModel(
                p->cursorForPosition(p->viewport()->mapFromGlobal(point)).position()));
        QLineEdit *l = m_box->lineEdit();
        return int(m_box->displayToModel(l->cursorPositionAt(l->mapFromGlobal(point))));
    }
    void scrollToSubstring(int start, int end) override { select(start, end); }
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        Q_UNUSED(offset);
        return {};
    }

private:
    QString exact() const { return m_box->model()->scriptText(); }
    void select(int start, int end)
    {
        const int from = std::min(start, end);
        m_box->model()->setSelection(from, std::max(start, end) - from);
        m_box->syncSelectionNow();
    }

    TextBox *m_box;
};

QAccessibleInterface *exactTextFactory(const QString &, QObject *object)
{
    auto *editor = qobject_cast<QWidget *>(object);
    if (!editor)
        return nullptr;
    auto *box = qobject_cast<TextBox *>(editor->parentWidget());
    if (!box || editor != box->innerEditor())
        return nullptr;
    return new ExactTextAccessible(editor, box);
}

} // namespace

void installExactTextAccessibility()
{
    // Qt keeps its factories application-wide; one is enough.
    static const bool installed = [] {
        QAccessible::installFactory(exactTextFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace varnok
