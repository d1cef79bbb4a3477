// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lexical structure of a call expression, worked out once per text:
// where its segments begin and end, their names normalised, and where the
// scan would stop with a fault. Evaluating walks this structure exactly as
// a scan of the text would. The structure depends on the text alone, which
// the expression owns; what a segment last found in the tree is kept beside
// it and checked against the tree before every use.
//
// Parts that only some evaluations reach (the text a shortcut expands to,
// an index, parameters, array pieces) are made on first use and kept in the
// segment they belong to.

#include "objects/objecttree.h"

#include <QString>
#include <QStringView>
#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace varnok {

struct Expr;

// Where each "(" of a long text is closed, so that the nested expressions
// inside it (which keep views into the text rather than copies) skip a
// balanced part instead of scanning it again at every level: without it,
// each of n nested levels scans the rest of the text and n levels cost n²
// steps. A balanced part is skipped only where skipping gives the scan's
// own outcome: its parentheses cannot overflow the counter, and the depth
// before it is not negative.
class ParenJumps
{
public:
    explicit ParenJumps(const QString &text);
    // The position (in the same text) of the ")" that closes the "(" at
    // `open`, and how deep the part nests, the "(" counted; null when `open`
    // lies outside the text or nothing closes it.
    struct Pair
    {
        const char16_t *close;
        int depth;
    };
    std::optional<Pair> closing(const char16_t *open) const
    {
        const qsizetype i = open - m_begin;
        if (i < 0 || i >= qsizetype(m_close.size()) || m_close[size_t(i)] < 0)
            return std::nullopt;
        return Pair{m_begin + m_close[size_t(i)], m_depth[size_t(i)]};
    }
    // Texts from this length on get one.
    static constexpr qsizetype kFrom = 2048;

private:
    QString m_text; // shares the text's characters, keeping them alive
    const char16_t *m_begin;
    std::vector<qint32> m_close;
    std::vector<quint16> m_depth; // at most 65535
};

// An expression inside another one's text, made on first use.
struct SubExpr
{
    QStringView text; // as handed to the evaluation, blanks included
    const ParenJumps *jumps = nullptr; // of the text `text` lies in
    mutable std::unique_ptr<const Expr> expr;
    // Whether the text is a call `MyIndex()` with nothing inside the
    // parentheses (as in the shortcut Skript's target): its form only, what
    // the name finds is looked up at every use. -1 until first asked.
    mutable qint8 callsMyIndex = -1;

    const Expr &get() const { return expr ? *expr : parse(); }
    bool isMyIndexCall() const;

private:
    const Expr &parse() const;
};

// The text a shortcut expands to at one segment, for one link target.
struct Expansion
{
    QString target;
    std::shared_ptr<const Expr> expr;
};

// A call of a function whose body is more than one word (a user
// function's "User Text(label)") at one segment, for one body: the body's
// words and the argument text's, split once, as sub-expressions.
struct CallWords
{
    QString body; // what they were split from; shares the function's characters
    enum class Form : quint8 { Joined, Literal, Words };
    // Joined: body and argument text are joined and called as one text;
    // Literal: the body is Text, the call yields the argument text.
    Form form = Form::Joined;
    QStringView name;               // the first word, in `body`
    const Builtin *builtin = nullptr; // what it names, or null
    std::vector<SubExpr> words;     // the rest, the call's parameters
};

struct Segment
{
    QString name; // normalised
    size_t hash = 0;
    qsizetype argFrom = -1; // position of its first "(", -1 without argument text
    qsizetype end = 0;      // position of the "." that ends it, or the text's length
    NameKey key() const { return {name, hash}; }

    // What looking this name up in the node last asked found in each of its
    // lists. True while the node at that address has that layout: no node
    // ever takes a layout another node had (ScriptObjects::layout), so a
    // node made where a dead one was never matches, and by the rule at
    // ListedName (src/objects/objecttree.h) an unchanged layout means every
    // entry found is still the first of its name in its list; debug builds
    // check that at every use. Callers copy what they need before evaluating anything,
    // since a nested evaluation of the same segment may look it up in
    // another node.
    struct Found
    {
        const ScriptObjects *node = nullptr;
        quint64 layout = 0;
        EineVerknuepfung *shortcut = nullptr;
        ScriptObjects *object = nullptr;
        EineVariable *variable = nullptr;
        EineFunktion *function = nullptr;
        ArrayVariable *valueArray = nullptr;
        ArrayObjects *objectArray = nullptr;
    };
    const Found &lookUp(const ScriptObjects &node) const
    {
        if (found.node != &node || found.layout != node.layout())
            refill(node);
        else
            Q_ASSERT_X(stillListed(node), "Segment::lookUp", "a remembered entry is no longer in its list");
        return found;
    }

    // Made on first use.
    mutable std::vector<Expansion> expansions;
    mutable std::unique_ptr<SubExpr> inner;            // the argument text without its outer characters
    mutable std::unique_ptr<std::vector<SubExpr>> words; // call parameters after a one-word body
    mutable std::unique_ptr<std::vector<SubExpr>> pieces; // value-array access
    // Held by each call while it runs: a nested call of the same segment
    // may find another function there and split its body instead.
    mutable std::shared_ptr<const CallWords> call;

private:
    void refill(const ScriptObjects &node) const;
    bool stillListed(const ScriptObjects &node) const;
    mutable Found found;
};

struct Expr
{
    enum class Kind { Empty, Number, Path };

    Expr() = default;
    // Nested expressions are destroyed one after another, not inside each
    // other: a text nested 32767 deep would otherwise need as many nested
    // destructor frames on whatever stack drops it.
    ~Expr();
    Expr(const Expr &) = delete;
    Expr &operator=(const Expr &) = delete;

    // Trimmed for an expression, verbatim for a shortcut's expansion. Its
    // own characters, or a view into the text of the expression it lies in
    // (which owns it through a segment and so outlives it).
    QStringView text;
    Kind kind = Kind::Empty;
    // Number: the literal's text form, or a fault when it is not finite.
    QString number;
    bool numberOk = true;
    double numberValue = 0; // numericValue(number)
    // How many shortcut expansions led from a parsed expression to this one.
    int expansionDepth = 0;

    // Path: the segments ended by a dot at depth 0, then the last segment,
    // unless the scan stops with a fault (2 or 3) before the end. They are
    // scanned as the walk reaches them, as a scan of the text would: a walk
    // that leaves for a shortcut early never pays for the rest of a long
    // text.
    // Dot segment k, or null when the text has no k-th dot at depth 0.
    const Segment *step(size_t k) const
    {
        while (m_steps <= k && !m_scanned)
            scanOn();
        return k < m_steps ? m_segments[k].get() : nullptr;
    }
    // Once step() has returned null: the fault the scan stopped with, or 0.
    int fault() const
    {
        while (!m_scanned)
            scanOn();
        return m_fault;
    }
    // Once step() has returned null and fault() is 0.
    const Segment &last() const
    {
        while (!m_scanned)
            scanOn();
        return *m_segments.back();
    }

    QStringView argumentText(const Segment &s) const
    {
        return QStringView(text).mid(s.argFrom, s.end - s.argFrom);
    }
    QStringView innerText(const Segment &s) const
    {
        return QStringView(text).mid(s.argFrom + 1, s.end - s.argFrom - 2);
    }
    // Of the long text this one's text lies in, or null.
    const ParenJumps *jumps() const { return m_jumps; }

    // The walk along every segment but the last, remembered where it went
    // from the root through named objects only, or first through the root's
    // shortcut Skript straight to the run's object (Evaluator::runShortcut)
    // and on through named objects: the node the last segment is looked up
    // in. It holds while no node anywhere has taken a new layout since
    // (ScriptObjects::lastLayout): no list has changed, so every name finds
    // what it found, and no node has been made where one of these was.
    // What the walk through Skript checks of the run and the stack is
    // checked again at every use.
    struct Walk
    {
        quint64 layout = 0; // ScriptObjects::lastLayout() then; 0: nothing remembered
        const ScriptObjects *root = nullptr;
        const ScriptObjects *run = nullptr;  // the run's object Skript led to, or null
        const ScriptObjects *node = nullptr; // where the last segment is looked up
        qsizetype charged = 0;               // what the expansion of Skript skipped was charged
        // The last walk went through an array element or a call's frame,
        // which is never remembered: the path is not worth trying to lend.
        bool winding = false;
    };
    mutable Walk walk;

    // A call of a built-in that only reads its parameters, each of them a
    // number literal or a variable read along a remembered walk, as it was
    // carried out last (Evaluator::lentCall): the function and the
    // variables every walk found. It holds while no node has taken a new
    // layout, the run's object and the limits are the same and the
    // function's body still names that built-in.
    struct LentCall
    {
        quint64 layout = 0; // 0: nothing remembered
        const ScriptObjects *root = nullptr;
        const ScriptObjects *run = nullptr; // the run's object a walk went through, or null
        const EineFunktion *function = nullptr;
        const Builtin *builtin = nullptr;
        qsizetype inputSize = 0;
        int shortcutExpansions = 0; // the limits then
        qsizetype shortcutText = 0;
        struct Param
        {
            const Expr *literal = nullptr;
            const EineVariable *variable = nullptr;
        };
        static constexpr size_t kMost = 3;
        std::array<Param, kMost> params{};
        size_t count = 0;
        // False: at this layout the call cannot be lent (a parameter that
        // needs an evaluation of its own, a function that is no such
        // built-in); evaluate() carries it out.
        bool lendable = true;
    };
    mutable std::unique_ptr<LentCall> lent;

private:
    friend std::unique_ptr<Expr> parseExpression(QStringView input);
    friend std::unique_ptr<Expr> parseNested(QStringView input, const ParenJumps *jumps);
    friend std::unique_ptr<Expr> parsePath(QString text, int expansionDepth);
    friend void releaseNested(const Expr &e, std::vector<std::unique_ptr<const Expr>> &unique,
                              std::vector<std::shared_ptr<const Expr>> &shared);
    void own(QString text);

    // Scans on to the next dot at depth 0, the end, or a fault.
    void scanOn() const;

    // Each on its own: segments already handed out stay where they are.
    mutable std::vector<std::unique_ptr<Segment>> m_segments;
    mutable size_t m_steps = 0;
    mutable bool m_scanned = false;
    mutable int m_fault = 0;
    mutable qsizetype m_pos = 0;
    mutable qsizetype m_segStart = 0;
    mutable qsizetype m_argStart = -1; // first "(" of the current segment
    mutable int m_parens = 0;
    QString m_storage;                      // the text, unless it is a view
    std::unique_ptr<const ParenJumps> m_ownJumps;
    const ParenJumps *m_jumps = nullptr;    // its own or the enclosing text's
};

// An expression as Evaluate receives it: trimmed, then empty, a number
// literal or a path.
std::unique_ptr<Expr> parseExpression(QStringView input);
// The same for a part of a long text that outlives the expression: a view
// into it instead of a copy. Without `jumps`, as parseExpression.
std::unique_ptr<Expr> parseNested(QStringView input, const ParenJumps *jumps);
// A path as the scan after a shortcut expansion reads it.
std::unique_ptr<Expr> parsePath(QString text, int expansionDepth);

// Splits at blanks outside parentheses, as a call's words and an array
// access's pieces are split: the rest after a blank is trimmed at both ends.
// Past `most` words each word replaces the last one. `depth` carries the
// parenthesis count in and out, so a text can be split in two pieces.
template <typename Words>
void splitWords(QStringView text, Words &words, int &depth, qsizetype most,
                const ParenJumps *jumps = nullptr)
{
    QStringView rest = text;
    qsizetype i = 0;
    auto add = [&words, most](QStringView word) {
        if (qsizetype(words.size()) < most)
            words.push_back(word);
        else
            words.back() = word;
    };
    while (i < rest.size()) {
        const char16_t c = rest.utf16()[i];
        if (c == u'(') {
            // A balanced part holds no blank at depth 0 once the depth
            // before it is not negative.
            if (jumps && depth >= 0) {
                if (const auto pair = jumps->closing(rest.utf16() + i);
                    pair && pair->close < rest.utf16() + rest.size()) {
                    i = pair->close - rest.utf16() + 1;
                    continue;
                }
            }
            ++depth;
        } else if (c == u')') {
            --depth;
        } else if (c == u' ' && depth == 0) {
            add(rest.left(i));
            rest = trimBlanks(rest.mid(i + 1));
            i = 0;
            continue;
        }
        ++i;
    }
    if (!rest.isEmpty())
        add(rest);
}

// Expressions by their trimmed text, for evaluations whose text comes from
// outside (conditions, window status, error records, user-function words).
// Bounded: past its size it starts afresh; evaluations still running keep
// what they use.
class ExprCache
{
public:
    std::shared_ptr<const Expr> get(QStringView input);

private:
    struct Hash
    {
        using is_transparent = void;
        size_t operator()(QStringView s) const { return qHash(s); }
    };
    struct Equal
    {
        using is_transparent = void;
        bool operator()(QStringView a, QStringView b) const { return a == b; }
    };
    std::unordered_map<QString, std::shared_ptr<const Expr>, Hash, Equal> m_map;
    qsizetype m_chars = 0;
};

} // namespace varnok
