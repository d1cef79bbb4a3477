// SPDX-License-Identifier: GPL-3.0-or-later
#include "lineendmap.h"

#include <algorithm>
#include <limits>

namespace varnok {

namespace {

// Offsets within a block stay below this, so that they fit 31 bits.
constexpr qsizetype kMaxSpan = qsizetype(std::numeric_limits<std::int32_t>::max());
constexpr std::size_t npos = std::size_t(-1);

} // namespace

void LineEndMap::scan(QStringView text, qsizetype from, qsizetype to, std::vector<Entry> &out)
{
    // [from, to] inclusive, within the text.
    to = std::min(to, text.size() - 1);
    for (qsizetype i = from < 0 ? 0 : from; i <= to; ++i) {
        i = text.indexOf(u'\n', i);
        if (i < 0 || i > to)
            break;
        out.push_back({i, i > 0 && text[i - 1] == u'\r'});
    }
}

std::vector<LineEndMap::Block> LineEndMap::chunk(const std::vector<Entry> &entries) const
{
    std::vector<Block> out;
    for (const Entry &e : entries) {
        if (out.empty() || out.back().entries.size() >= kBlockSize
            || e.position - out.back().base > kMaxSpan) {
            out.emplace_back();
            out.back().base = e.position;
            out.back().entries.reserve(std::min(kBlockSize, entries.size()));
        }
        Block &b = out.back();
        b.entries.push_back(std::uint32_t((e.position - b.base) << 1) | (e.pair ? 1u : 0u));
        b.pairs += e.pair ? 1 : 0;
    }
    return out;
}

void LineEndMap::renumberFrom(std::size_t block)
{
    qsizetype index = 0;
    qsizetype pairs = 0;
    if (block > 0 && block <= m_blocks.size()) {
        const Block &prev = m_blocks[block - 1];
        index = prev.firstIndex + qsizetype(prev.entries.size());
        pairs = prev.pairsBefore + prev.pairs;
    }
    for (std::size_t b = block; b < m_blocks.size(); ++b) {
        m_blocks[b].firstIndex = index;
        m_blocks[b].pairsBefore = pairs;
        index += qsizetype(m_blocks[b].entries.size());
        pairs += m_blocks[b].pairs;
    }
    m_count = index;
    m_pairs = pairs;
}

void LineEndMap::reset(QStringView text)
{
    // Straight into the blocks: a list of entries on the way would cost four
    // times the map itself for a text of millions of short lines.
    m_blocks.clear();
    for (qsizetype i = text.indexOf(u'\n'); i >= 0; i = text.indexOf(u'\n', i + 1)) {
        if (m_blocks.empty() || m_blocks.back().entries.size() >= kBlockSize
            || i - m_blocks.back().base > kMaxSpan) {
            m_blocks.emplace_back();
            m_blocks.back().base = i;
        }
        Block &b = m_blocks.back();
        const bool pair = i > 0 && text[i - 1] == u'\r';
        b.entries.push_back(std::uint32_t((i - b.base) << 1) | (pair ? 1u : 0u));
        b.pairs += pair ? 1 : 0;
    }
    renumberFrom(0);
}

void LineEndMap::appendEntries(const std::vector<Entry> &entries)
{
    std::size_t i = 0;
    // Fill the last block first; a header flood adds one LF at a time.
    if (!m_blocks.empty()) {
        Block &last = m_blocks.back();
        while (i < entries.size() && last.entries.size() < kBlockSize
               && entries[i].position - last.base <= kMaxSpan) {
            last.entries.push_back(std::uint32_t((entries[i].position - last.base) << 1)
                                   | (entries[i].pair ? 1u : 0u));
            last.pairs += entries[i].pair ? 1 : 0;
            m_pairs += entries[i].pair ? 1 : 0;
            ++m_count;
            ++i;
        }
    }
    if (i == entries.size())
        return;
    const std::size_t from = m_blocks.size();
    std::vector<Block> more = chunk(std::vector<Entry>(entries.begin() + qsizetype(i), entries.end()));
    m_blocks.insert(m_blocks.end(), std::make_move_iterator(more.begin()),
                    std::make_move_iterator(more.end()));
    renumberFrom(from);
}

void LineEndMap::update(QStringView text, qsizetype start, qsizetype oldEnd, qsizetype newEnd)
{
    // LFs whose own character or whose predecessor lies in the changed
    // range may have come, gone, or changed between lone and paired.
    const qsizetype first = countBefore(start);
    const qsizetype last = countBefore(oldEnd + 1);
    const qsizetype delta = newEnd - oldEnd;
    std::vector<Entry> found;
    scan(text, start, newEnd, found);

    if (first == m_count) { // nothing after the change: the common append
        appendEntries(found);
        return;
    }
    // The blocks that hold the removed LFs (or the insertion point) are
    // taken apart and made anew; the blocks after them only move.
    const std::size_t bFirst = blockOfIndex(first);
    const std::size_t bLast = last > first ? blockOfIndex(last - 1) : bFirst;
    std::vector<Entry> entries;
    for (std::size_t b = bFirst; b <= bLast; ++b) {
        const Block &blk = m_blocks[b];
        for (std::size_t j = 0; j < blk.entries.size(); ++j) {
            const qsizetype index = blk.firstIndex + qsizetype(j);
            if (index == first)
                entries.insert(entries.end(), found.begin(), found.end());
            if (index >= first && index < last)
                continue;
            const qsizetype pos = blk.position(j);
            entries.push_back({index >= last ? pos + delta : pos, (blk.entries[j] & 1u) != 0});
        }
    }
    std::vector<Block> remade = chunk(entries);
    for (std::size_t b = bLast + 1; b < m_blocks.size(); ++b)
        m_blocks[b].base += delta;
    m_blocks.erase(m_blocks.begin() + qsizetype(bFirst), m_blocks.begin() + qsizetype(bLast) + 1);
    m_blocks.insert(m_blocks.begin() + qsizetype(bFirst), std::make_move_iterator(remade.begin()),
                    std::make_move_iterator(remade.end()));
    renumberFrom(bFirst);
}

std::size_t LineEndMap::blockOfIndex(qsizetype index) const
{
    const auto it = std::upper_bound(m_blocks.begin(), m_blocks.end(), index,
                                     [](qsizetype i, const Block &b) { return i < b.firstIndex; });
    return it == m_blocks.begin() ? 0 : std::size_t(it - m_blocks.begin()) - 1;
}

std::size_t LineEndMap::lastBlockBefore(qsizetype position) const
{
    const auto it = std::partition_point(m_blocks.begin(), m_blocks.end(), [position](const Block &b) {
        return b.firstPosition() < position;
    });
    return it == m_blocks.begin() ? npos : std::size_t(it - m_blocks.begin()) - 1;
}

qsizetype LineEndMap::lfPosition(qsizetype index) const
{
    const Block &b = m_blocks[blockOfIndex(index)];
    return b.position(std::size_t(index - b.firstIndex));
}

bool LineEndMap::isPair(qsizetype index) const
{
    const Block &b = m_blocks[blockOfIndex(index)];
    return (b.entries[std::size_t(index - b.firstIndex)] & 1u) != 0;
}

qsizetype LineEndMap::countBefore(qsizetype position) const
{
    const std::size_t bi = lastBlockBefore(position);
    if (bi == npos)
        return 0;
    const Block &b = m_blocks[bi];
    const qsizetype rel = position - b.base;
    const auto it = std::partition_point(b.entries.begin(), b.entries.end(), [rel](std::uint32_t e) {
        return qsizetype(e >> 1) < rel;
    });
    return b.firstIndex + qsizetype(it - b.entries.begin());
}

qsizetype LineEndMap::pairsBefore(qsizetype index) const
{
    if (index <= 0)
        return 0;
    if (index >= m_count)
        return m_pairs;
    const Block &b = m_blocks[blockOfIndex(index)];
    qsizetype pairs = b.pairsBefore;
    const std::size_t n = std::size_t(index - b.firstIndex);
    for (std::size_t j = 0; j < n; ++j)
        pairs += qsizetype(b.entries[j] & 1u);
    return pairs;
}

qsizetype LineEndMap::shownPosition(qsizetype m) const
{
    const qsizetype k = countBefore(m);
    const qsizetype offset = k - 2 * pairsBefore(k);
    if (k < m_count && isPair(k) && lfPosition(k) == m) // between CR and LF
        return m - 1 + offset;
    return m + offset;
}

qsizetype LineEndMap::modelPosition(qsizetype d) const
{
    // The screen position where LF i's line end begins: the CR of a pair,
    // the symbol of a lone LF.
    const auto shownStart = [](qsizetype pos, bool pair, qsizetype index, qsizetype pairs) {
        return (pair ? pos - 1 : pos) + index - 2 * pairs;
    };
    // The last block whose first line end begins before d.
    const auto it = std::partition_point(m_blocks.begin(), m_blocks.end(), [&](const Block &b) {
        return shownStart(b.firstPosition(), (b.entries[0] & 1u) != 0, b.firstIndex, b.pairsBefore) < d;
    });
    if (it == m_blocks.begin())
        return d;
    const Block &b = *(it - 1);
    qsizetype pairs = b.pairsBefore;
    std::size_t j = 0;
    // The last line end of the block that begins before d.
    for (std::size_t n = 1; n < b.entries.size(); ++n) {
        const bool pair = (b.entries[n] & 1u) != 0;
        const qsizetype pairsAt = pairs + qsizetype(b.entries[n - 1] & 1u);
        if (shownStart(b.position(n), pair, b.firstIndex + qsizetype(n), pairsAt) >= d)
            break;
        pairs = pairsAt;
        j = n;
    }
    const qsizetype index = b.firstIndex + qsizetype(j);
    const bool pair = (b.entries[j] & 1u) != 0;
    const qsizetype pos = b.position(j);
    const qsizetype start = shownStart(pos, pair, index, pairs);
    if (!pair && d == start + 1) // after a lone LF's symbol
        return pos + 1;
    const qsizetype offsetAfter = (index + 1) - 2 * (pairs + (pair ? 1 : 0));
    return d - offsetAfter;
}

std::size_t LineEndMap::memoryBytes() const
{
    std::size_t bytes = sizeof(*this) + m_blocks.capacity() * sizeof(Block);
    for (const Block &b : m_blocks)
        bytes += b.entries.capacity() * sizeof(std::uint32_t);
    return bytes;
}

} // namespace varnok
