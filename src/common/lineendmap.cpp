// SPDX-License-Identifier: GPL-3.0-or-later
#include "lineendmap.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <limits>

namespace varnok {

namespace {

// A block's LFs stay within this of its first one, so that a mark's offset
// fits 32 bits and an LF's stored distance at most five bytes.
constexpr qsizetype kMaxSpan = qsizetype(std::numeric_limits<std::int32_t>::max());
constexpr std::size_t npos = std::size_t(-1);

void putNumber(std::vector<std::uint8_t> &out, std::uint64_t v)
{
    while (v >= 0x80) {
        out.push_back(std::uint8_t(v | 0x80));
        v >>= 7;
    }
    out.push_back(std::uint8_t(v));
}

std::uint64_t getNumber(const std::uint8_t *bytes, std::size_t &at)
{
    std::uint64_t v = 0;
    int shift = 0;
    for (;;) {
        const std::uint8_t b = bytes[at++];
        v |= std::uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return v;
        shift += 7;
    }
}

} // namespace

template <typename Char, typename Found>
void LineEndMap::scanRun(const Char *t, qsizetype size, bool crBefore, Found &&found)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    if constexpr (sizeof(Char) == 1) {
        // 64 bytes a step, one bit per LF: an answer of short lines would
        // otherwise cost a search call per line.
        const __m128i lf = _mm_set1_epi8('\n');
        const auto bits = [&](qsizetype at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(t + at));
            return std::uint64_t(std::uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))));
        };
        for (; i + 64 <= size; i += 64) {
            std::uint64_t mask = bits(i) | bits(i + 16) << 16 | bits(i + 32) << 32 | bits(i + 48) << 48;
            while (mask) {
                const qsizetype k = i + __builtin_ctzll(mask);
                mask &= mask - 1;
                found(k, k > 0 ? t[k - 1] == '\r' : crBefore);
            }
        }
    }
#endif
    for (; i < size; ++i) {
        if constexpr (sizeof(Char) == 1) {
            const void *lf = std::memchr(t + i, '\n', std::size_t(size - i));
            if (!lf)
                break;
            i = static_cast<const Char *>(lf) - t;
        } else {
            i = QStringView(t, size).indexOf(u'\n', i);
            if (i < 0)
                break;
        }
        found(i, i > 0 ? t[i - 1] == '\r' : crBefore);
        // Short lines are read here rather than by a search call per line.
        while (i + 1 < size && t[i + 1] == '\n') {
            ++i;
            found(i, false);
        }
    }
}

template <typename Found>
void LineEndMap::scan(QStringView text, qsizetype from, qsizetype to, Found &&found)
{
    // [from, to] inclusive, within the text.
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, text.size() - 1);
    if (from > to)
        return;
    const char16_t *t = text.utf16();
    scanRun(t + from, to - from + 1, from > 0 && t[from - 1] == u'\r',
            [&found, from](qsizetype i, bool pair) { found(from + i, pair); });
}

template <typename Run>
void LineEndMap::appendRun(Run run, qsizetype at, bool crBefore)
{
    scanRun(run.data(), run.size(), crBefore, [this, at](qsizetype i, bool pair) { pushLast(at + i, pair); });
}

void LineEndMap::append(QStringView run, qsizetype at, bool crBefore)
{
    appendRun(run, at, crBefore);
}

void LineEndMap::append(QByteArrayView run, qsizetype at, bool crBefore)
{
    appendRun(run, at, crBefore);
}

void LineEndMap::pushLast(qsizetype position, bool pair)
{
    push(m_blocks, position, pair);
    ++m_count;
    m_pairs += pair ? 1 : 0;
}

void LineEndMap::finish(Block &block)
{
    block.bytes.shrink_to_fit();
    block.marks.shrink_to_fit();
}

void LineEndMap::push(std::vector<Block> &blocks, qsizetype position, bool pair)
{
    if (blocks.empty() || blocks.back().count >= kBlockSize || position - blocks.back().base > kMaxSpan) {
        Block next;
        if (!blocks.empty()) {
            Block &prev = blocks.back();
            finish(prev);
            next.firstIndex = prev.firstIndex + qsizetype(prev.count);
            next.pairsBefore = prev.pairsBefore + qsizetype(prev.pairs);
        }
        next.base = position;
        next.last = position;
        blocks.push_back(std::move(next));
    }
    Block &b = blocks.back();
    if (b.count % kStride == 0)
        b.marks.push_back({std::uint32_t(position - b.base), std::uint16_t(b.bytes.size()),
                           std::uint16_t(b.pairs)});
    putNumber(b.bytes, (std::uint64_t(position - b.last) << 1) | (pair ? 1u : 0u));
    b.last = position;
    ++b.count;
    b.pairs += pair ? 1 : 0;
}

LineEndMap::At LineEndMap::at(const Block &block, std::size_t entry)
{
    const Mark &m = block.marks[entry / kStride];
    At out;
    out.position = block.base + qsizetype(m.offset);
    out.pairsBefore = m.pairs;
    std::size_t byte = m.byte;
    const std::uint8_t *bytes = block.bytes.data();
    // The mark's own LF: its distance is already in the offset.
    std::uint64_t v = getNumber(bytes, byte);
    out.pair = (v & 1u) != 0;
    for (std::size_t j = entry / kStride * kStride; j < entry; ++j) {
        out.pairsBefore += out.pair ? 1 : 0;
        v = getNumber(bytes, byte);
        out.position += qsizetype(v >> 1);
        out.pair = (v & 1u) != 0;
    }
    return out;
}

void LineEndMap::renumberFrom(std::size_t block)
{
    qsizetype index = 0;
    qsizetype pairs = 0;
    if (block > 0 && block <= m_blocks.size()) {
        const Block &prev = m_blocks[block - 1];
        index = prev.firstIndex + qsizetype(prev.count);
        pairs = prev.pairsBefore + qsizetype(prev.pairs);
    }
    for (std::size_t b = block; b < m_blocks.size(); ++b) {
        m_blocks[b].firstIndex = index;
        m_blocks[b].pairsBefore = pairs;
        index += qsizetype(m_blocks[b].count);
        pairs += qsizetype(m_blocks[b].pairs);
    }
    m_count = index;
    m_pairs = pairs;
}

void LineEndMap::reset(QStringView text)
{
    clear();
    scan(text, 0, text.size() - 1, [this](qsizetype pos, bool pair) { push(m_blocks, pos, pair); });
    if (!m_blocks.empty())
        finish(m_blocks.back());
    renumberFrom(0);
}

void LineEndMap::update(QStringView text, qsizetype start, qsizetype oldEnd, qsizetype newEnd)
{
    // LFs whose own character or whose predecessor lies in the changed
    // range may have come, gone, or changed between lone and paired.
    const qsizetype first = countBefore(start);
    const qsizetype last = countBefore(oldEnd + 1);
    const qsizetype delta = newEnd - oldEnd;

    if (first == m_count) { // nothing after the change: the common append
        // Filling the last block first; a header flood adds one LF at a time.
        scan(text, start, newEnd, [this](qsizetype pos, bool pair) { pushLast(pos, pair); });
        return;
    }
    // The blocks that hold the removed LFs (or the insertion point) are
    // taken apart and made anew; the blocks after them only move.
    const std::size_t bFirst = blockOfIndex(first);
    const std::size_t bLast = last > first ? blockOfIndex(last - 1) : bFirst;
    std::vector<Block> remade;
    const auto add = [&remade](qsizetype pos, bool pair) { push(remade, pos, pair); };
    bool scanned = false;
    for (std::size_t b = bFirst; b <= bLast; ++b) {
        const Block &blk = m_blocks[b];
        std::size_t byte = 0;
        qsizetype pos = blk.base;
        for (std::size_t j = 0; j < blk.count; ++j) {
            const std::uint64_t v = getNumber(blk.bytes.data(), byte);
            if (j > 0)
                pos += qsizetype(v >> 1);
            const qsizetype index = blk.firstIndex + qsizetype(j);
            if (index == first) {
                scan(text, start, newEnd, add);
                scanned = true;
            }
            if (index >= first && index < last)
                continue;
            add(index >= last ? pos + delta : pos, (v & 1u) != 0);
        }
    }
    if (!scanned) // cannot happen: LF `first` lies in block bFirst
        scan(text, start, newEnd, add);
    if (!remade.empty())
        finish(remade.back());
    for (std::size_t b = bLast + 1; b < m_blocks.size(); ++b) {
        m_blocks[b].base += delta;
        m_blocks[b].last += delta;
    }
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
    const auto it = std::partition_point(m_blocks.begin(), m_blocks.end(),
                                         [position](const Block &b) { return b.base < position; });
    return it == m_blocks.begin() ? npos : std::size_t(it - m_blocks.begin()) - 1;
}

qsizetype LineEndMap::lfPosition(qsizetype index) const
{
    const Block &b = m_blocks[blockOfIndex(index)];
    return at(b, std::size_t(index - b.firstIndex)).position;
}

bool LineEndMap::isPair(qsizetype index) const
{
    const Block &b = m_blocks[blockOfIndex(index)];
    return at(b, std::size_t(index - b.firstIndex)).pair;
}

qsizetype LineEndMap::countBefore(qsizetype position) const
{
    const std::size_t bi = lastBlockBefore(position);
    if (bi == npos)
        return 0;
    const Block &b = m_blocks[bi];
    if (b.last < position)
        return b.firstIndex + qsizetype(b.count);
    const qsizetype rel = position - b.base;
    // The last mark before `position`, then the LFs after it one by one.
    const auto mark = std::partition_point(b.marks.begin(), b.marks.end(),
                                           [rel](const Mark &m) { return qsizetype(m.offset) < rel; }) - 1;
    std::size_t j = std::size_t(mark - b.marks.begin()) * kStride;
    std::size_t byte = mark->byte;
    qsizetype pos = b.base + qsizetype(mark->offset);
    getNumber(b.bytes.data(), byte);
    for (++j; j < b.count; ++j) {
        pos += qsizetype(getNumber(b.bytes.data(), byte) >> 1);
        if (pos >= position)
            break;
    }
    return b.firstIndex + qsizetype(j);
}

qsizetype LineEndMap::pairsBefore(qsizetype index) const
{
    if (index <= 0)
        return 0;
    if (index >= m_count)
        return m_pairs;
    const Block &b = m_blocks[blockOfIndex(index)];
    return b.pairsBefore + at(b, std::size_t(index - b.firstIndex)).pairsBefore;
}

qsizetype LineEndMap::shownPosition(qsizetype m) const
{
    const qsizetype k = countBefore(m);
    const qsizetype offset = k - 2 * pairsBefore(k);
    if (k < m_count) { // between CR and LF
        const Block &b = m_blocks[blockOfIndex(k)];
        const At lf = at(b, std::size_t(k - b.firstIndex));
        if (lf.pair && lf.position == m)
            return m - 1 + offset;
    }
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
        return shownStart(b.base, (b.bytes[0] & 1u) != 0, b.firstIndex, b.pairsBefore) < d;
    });
    if (it == m_blocks.begin())
        return d;
    const Block &b = *(it - 1);
    // The last line end of the block that begins before d.
    std::size_t byte = 0;
    std::uint64_t v = getNumber(b.bytes.data(), byte);
    qsizetype pos = b.base;
    bool pair = (v & 1u) != 0;
    qsizetype pairs = b.pairsBefore; // before LF j
    std::size_t j = 0;
    for (std::size_t n = 1; n < b.count; ++n) {
        v = getNumber(b.bytes.data(), byte);
        const qsizetype nextPos = pos + qsizetype(v >> 1);
        const bool nextPair = (v & 1u) != 0;
        const qsizetype pairsAt = pairs + (pair ? 1 : 0);
        if (shownStart(nextPos, nextPair, b.firstIndex + qsizetype(n), pairsAt) >= d)
            break;
        pos = nextPos;
        pair = nextPair;
        pairs = pairsAt;
        j = n;
    }
    const qsizetype index = b.firstIndex + qsizetype(j);
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
        bytes += b.bytes.capacity() + b.marks.capacity() * sizeof(Mark);
    return bytes;
}

LineEndMap::Reader::Reader(const LineEndMap &map, qsizetype index) : m_map(map)
{
    if (index >= map.m_count) {
        m_block = map.m_blocks.size();
        return;
    }
    index = std::max<qsizetype>(index, 0);
    m_block = map.blockOfIndex(index);
    const Block &b = map.m_blocks[m_block];
    m_entry = std::size_t(index - b.firstIndex);
    const Mark &mark = b.marks[m_entry / kStride];
    m_byte = mark.byte;
    m_position = b.base + qsizetype(mark.offset);
    // Stand just before the wanted LF: its distance is read by next().
    std::size_t j = m_entry / kStride * kStride;
    std::size_t byte = m_byte;
    const std::uint64_t v = getNumber(b.bytes.data(), byte);
    if (j < m_entry) {
        m_byte = byte;
        for (++j; j < m_entry; ++j)
            m_position += qsizetype(getNumber(b.bytes.data(), m_byte) >> 1);
    } else {
        // The mark's LF itself: next() reads its distance from the one
        // before, which the mark's offset already holds.
        m_position -= qsizetype(v >> 1);
    }
}

bool LineEndMap::Reader::next(qsizetype &position, bool &pair)
{
    const std::vector<Block> &blocks = m_map.m_blocks;
    while (m_block < blocks.size() && m_entry >= blocks[m_block].count) {
        ++m_block;
        m_entry = 0;
        m_byte = 0;
        if (m_block < blocks.size())
            m_position = blocks[m_block].base;
    }
    if (m_block >= blocks.size())
        return false;
    const std::uint64_t v = getNumber(blocks[m_block].bytes.data(), m_byte);
    m_position += qsizetype(v >> 1);
    pair = (v & 1u) != 0;
    position = m_position;
    ++m_entry;
    return true;
}

} // namespace varnok
