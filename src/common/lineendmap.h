// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the lines of a text end: every LF, and whether a CR stands right
// before it (a CR LF pair) or not (a lone LF). A lone CR ends no line.
//
// The text boxes and the output view keep one of these beside their model,
// so a position can be turned into a line and back, and into a position on
// a screen that draws a CR LF pair as one break and a lone LF as its symbol
// plus a break. Answers can hold hundreds of thousands of lines, so each LF
// costs about four bytes: positions are kept as 32-bit offsets from the
// start of blocks of up to kBlockSize entries.

#include <QStringView>

#include <cstdint>
#include <vector>

namespace varnok {

class LineEndMap
{
public:
    static constexpr std::size_t kBlockSize = 1024;

    // Every LF of `text`.
    void reset(QStringView text);
    void clear() { m_blocks.clear(); m_count = 0; m_pairs = 0; }
    // The characters [start, oldEnd) of the text were replaced, and stand
    // at [start, newEnd) of `text` now. LFs after the change move along; an
    // LF at newEnd is looked at again, as its CR may have come or gone.
    void update(QStringView text, qsizetype start, qsizetype oldEnd, qsizetype newEnd);

    qsizetype count() const { return m_count; }   // LFs
    qsizetype pairCount() const { return m_pairs; }
    qsizetype lfPosition(qsizetype index) const;
    bool isPair(qsizetype index) const;
    // LFs that stand before `position`.
    qsizetype countBefore(qsizetype position) const;
    // CR LF pairs among the first `index` LFs.
    qsizetype pairsBefore(qsizetype index) const;

    // Lines: line 0 starts at 0, line n just after the n-th LF.
    qsizetype lineCount() const { return m_count + 1; }
    qsizetype lineStart(qsizetype line) const { return line <= 0 ? 0 : lfPosition(line - 1) + 1; }
    qsizetype lineOf(qsizetype position) const { return countBefore(position); }

    // Positions on a screen that shows a CR LF pair as one character and a
    // lone LF as two (its symbol and a break), every other character as
    // one. A position between CR and LF shows before the break; the screen
    // position between a lone LF's symbol and its break is the model
    // position after the LF.
    qsizetype shownPosition(qsizetype modelPosition) const;
    qsizetype modelPosition(qsizetype shownPosition) const;
    qsizetype shownLength(qsizetype textLength) const { return textLength + m_count - 2 * m_pairs; }

    std::size_t memoryBytes() const;

private:
    struct Block {
        qsizetype base = 0;        // position the offsets count from
        qsizetype firstIndex = 0;  // index of the block's first LF
        qsizetype pairsBefore = 0; // pairs in the blocks before
        qsizetype pairs = 0;       // pairs in this block
        std::vector<std::uint32_t> entries; // (position - base) << 1 | pair
        qsizetype position(std::size_t i) const { return base + qsizetype(entries[i] >> 1); }
        qsizetype firstPosition() const { return position(0); }
    };
    struct Entry {
        qsizetype position;
        bool pair;
    };

    std::size_t blockOfIndex(qsizetype index) const;
    // The last block whose first LF stands before `position`, or npos.
    std::size_t lastBlockBefore(qsizetype position) const;
    void appendEntries(const std::vector<Entry> &entries);
    std::vector<Block> chunk(const std::vector<Entry> &entries) const;
    void renumberFrom(std::size_t block);
    static void scan(QStringView text, qsizetype from, qsizetype to, std::vector<Entry> &out);

    std::vector<Block> m_blocks;
    qsizetype m_count = 0;
    qsizetype m_pairs = 0;
};

} // namespace varnok
