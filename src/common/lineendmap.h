// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the lines of a text end: every LF, and whether a CR stands right
// before it (a CR LF pair) or not (a lone LF). A lone CR ends no line.
//
// The text boxes and the output view keep one of these beside their model,
// so a position can be turned into a line and back, and into a position on
// a screen that draws a CR LF pair as one break and a lone LF as its symbol
// plus a break. Answers can hold tens of millions of lines (a body of bare
// LFs), so an LF costs about one byte when lines are short and two when they
// are of the usual length: within blocks of up to kBlockSize LFs each LF is
// stored as the distance from the one before, in as few bytes as it needs,
// with a mark every kStride LFs so that no look-up reads more than a few
// dozen of them.

#include <QByteArrayView>
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

    // The same for a run of characters appended at `at`, the text's old
    // end, as one piece or many: UTF-16, or bytes of a one-byte character
    // set; `crBefore` says whether the character before it is a CR.
    void append(QStringView run, qsizetype at, bool crBefore);
    void append(QByteArrayView run, qsizetype at, bool crBefore);

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

    // Reads the LFs in order from one of them on, without a search per LF
    // (for whoever measures every new line).
    class Reader
    {
    public:
        Reader(const LineEndMap &map, qsizetype index);
        // The next LF's position and whether a CR stands before it; false
        // after the last.
        bool next(qsizetype &position, bool &pair);

    private:
        const LineEndMap &m_map;
        std::size_t m_block = 0;
        std::size_t m_entry = 0; // within the block
        std::size_t m_byte = 0;
        qsizetype m_position = 0; // of the LF before, within the block
    };

private:
    static constexpr std::size_t kStride = 64;

    // Where every kStride-th LF of a block stands: its offset from the
    // block's base, where its bytes start and the pairs before it.
    struct Mark {
        std::uint32_t offset;
        std::uint16_t byte;
        std::uint16_t pairs;
    };
    struct Block {
        qsizetype base = 0;        // position of its first LF
        qsizetype last = 0;        // position of its last LF
        qsizetype firstIndex = 0;  // index of its first LF
        qsizetype pairsBefore = 0; // pairs in the blocks before
        std::uint32_t count = 0;   // LFs
        std::uint32_t pairs = 0;   // pairs in this block
        // Per LF, (distance from the LF before) << 1 | pair, seven bits a
        // byte, the high bit saying that more follow; the first LF's
        // distance is 0.
        std::vector<std::uint8_t> bytes;
        std::vector<Mark> marks; // for LF 0, kStride, 2 kStride, ...
    };
    // One LF found by a look-up.
    struct At {
        qsizetype position = 0;
        bool pair = false;
        qsizetype pairsBefore = 0; // in the block, before this LF
    };

    // Appends an LF to the last block of `blocks`, or starts a new one.
    static void push(std::vector<Block> &blocks, qsizetype position, bool pair);
    static void finish(Block &block);
    // The `entry`-th LF of `block`.
    static At at(const Block &block, std::size_t entry);
    std::size_t blockOfIndex(qsizetype index) const;
    // The last block whose first LF stands before `position`, or npos.
    std::size_t lastBlockBefore(qsizetype position) const;
    void renumberFrom(std::size_t block);
    // Calls found(position, pair) for every LF in [from, to] of `text`.
    template <typename Found>
    static void scan(QStringView text, qsizetype from, qsizetype to, Found &&found);
    // Calls found(index, pair) for every LF of the run, counted from its start.
    template <typename Char, typename Found>
    static void scanRun(const Char *run, qsizetype size, bool crBefore, Found &&found);
    template <typename Run>
    void appendRun(Run run, qsizetype at, bool crBefore);
    // An LF after every one the map holds.
    void pushLast(qsizetype position, bool pair);

    std::vector<Block> m_blocks;
    qsizetype m_count = 0;
    qsizetype m_pairs = 0;
};

} // namespace varnok
