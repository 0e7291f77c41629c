#include "tools/packer/pack_stream.h"

#include <algorithm>
#include <cstring>

#include "skin/packed_image.h"

namespace {

enum ItemKind : uint8_t { KindLiteral, KindZero, KindNear, KindShort, KindLong, KindRepeat, KindRaw };

struct Item {
    uint8_t Kind;
    uint32_t Length;
    uint32_t Distance;
};

struct BitWriter {
    std::vector<uint8_t>* Out;
    uint32_t Word;
    int Count;
};

void PutBit(BitWriter* w, unsigned bit)
{
    w->Word = (w->Word << 1) | (bit & 1);
    if (++w->Count == 32) {
        for (int i = 0; i < 4; i++)
            w->Out->push_back(uint8_t(w->Word >> (8 * i)));
        w->Word = 0;
        w->Count = 0;
    }
}

void PutBits(BitWriter* w, uint64_t value, int count)
{
    for (int i = count - 1; i >= 0; i--)
        PutBit(w, unsigned(value >> i) & 1);
}

int TopBit(uint32_t v)
{
    int n = 0;
    while (v >>= 1) n++;
    return n;
}

void PutGamma(BitWriter* w, uint32_t value)
{
    for (int i = TopBit(value) - 1; i >= 0; i--) {
        PutBit(w, (value >> i) & 1);
        PutBit(w, i > 0);
    }
}

void Flush(BitWriter* w)
{
    while (w->Count != 0)
        PutBit(w, 0);
}

uint32_t GammaCost(uint32_t v) { return 2 * uint32_t(TopBit(v)); }

uint32_t Adjustment(uint32_t d)
{
    if (d < 0x80) return 4;
    if (d < 0x27F) return 0;
    if (d < 0x37FF) return 1;
    if (d < 0x10000) return 2;
    return 3;
}

uint32_t LongCost(uint32_t d, uint32_t len, int k)
{
    uint32_t adj = Adjustment(d);
    if (len < adj + 2) return 0xFFFFFFFFu;
    return 2 + GammaCost((d >> k) + 3) + uint32_t(k) + GammaCost(len - adj);
}

const uint32_t NiceLength = 192;
const int ChainDepth = 96;
const uint32_t Infinite = 0xFFFFFFFFu;

struct Node {
    uint32_t Cost;
    uint32_t From;
    uint32_t Length;
    uint32_t Distance;
    uint32_t Rep;  // lastOffset on the best path to this position
    uint8_t Kind;
};

uint32_t MatchLength(const uint8_t* data, size_t size, size_t pos, size_t dist, size_t limit)
{
    size_t n = 0, maxLen = std::min(size - pos, limit);
    while (n < maxLen && data[pos + n] == data[pos + n - dist]) n++;
    return uint32_t(n);
}

// Forward dynamic programme over positions, costs in bits. litCost prices a
// literal at each position (9 bits when empty); the literal widths themselves
// are chosen afterwards on the real literal run.
std::vector<Item> Parse(const uint8_t* data, size_t size, int k, const std::vector<uint8_t>& litCost)
{
    std::vector<Node> nodes(size + 1, Node{Infinite, 0, 0, 0, 1, 0});
    nodes[0].Cost = 0;
    const uint32_t HashSize = 1u << 16;
    std::vector<int32_t> head(HashSize, -1), prev(size, -1);
    auto hashAt = [&](size_t p) {
        return ((uint32_t(data[p]) << 16 | uint32_t(data[p + 1]) << 8 | data[p + 2]) * 2654435761u) >> 16;
    };
    auto relax = [&](size_t from, size_t to, uint32_t cost, uint8_t kind, uint32_t len, uint32_t dist, uint32_t rep) {
        uint32_t c = nodes[from].Cost + cost;
        if (c < nodes[to].Cost) nodes[to] = Node{c, uint32_t(from), len, dist, rep, kind};
    };
    size_t skipUntil = 0;
    for (size_t i = 0; i < size; i++) {
        bool expand = i >= skipUntil && nodes[i].Cost != Infinite;
        uint32_t rep = nodes[i].Rep;
        if (expand) {
            relax(i, i + 1, litCost.empty() ? 9 : litCost[i], KindLiteral, 1, 0, rep);
            if (data[i] == 0) {
                relax(i, i + 1, 7, KindZero, 1, 0, rep);
            } else {
                for (uint32_t d = 1; d <= 14 && d <= i; d++)
                    if (data[i - d] == data[i]) { relax(i, i + 1, 7, KindNear, 1, d, rep); break; }
            }
            if (size - i >= 256) relax(i, i + 256, 8 + 2048 + 1, KindRaw, 256, 0, rep);
            // Short matches: any distance below 128 costs the same 12 bits.
            uint32_t bestShort = 0, shortDist = 0;
            for (uint32_t d = 1; d <= 127 && d <= i && bestShort < 5; d++) {
                uint32_t l = MatchLength(data, size, i, d, 5);
                if (l > bestShort) { bestShort = l; shortDist = d; }
            }
            for (uint32_t l = 2; l <= bestShort; l++) relax(i, i + l, 12, KindShort, l, shortDist, shortDist);
            if (rep <= i) {
                uint32_t l = MatchLength(data, size, i, rep, size);
                if (l >= NiceLength) {
                    relax(i, i + l, 4 + GammaCost(l), KindRepeat, l, rep, rep);
                    skipUntil = i + l;
                } else {
                    for (uint32_t n = 2; n <= l; n++) relax(i, i + n, 4 + GammaCost(n), KindRepeat, n, rep, rep);
                }
            }
        }
        if (size - i >= 3) {
            uint32_t h = hashAt(i);
            if (expand && i >= skipUntil) {
                uint32_t best = 1;
                int depth = ChainDepth;
                for (int32_t c = head[h]; c >= 0 && depth-- > 0; c = prev[c]) {
                    uint32_t d = uint32_t(i - size_t(c));
                    uint32_t l = MatchLength(data, size, i, d, size);
                    if (l <= best) continue;
                    if (l >= NiceLength) {
                        relax(i, i + l, LongCost(d, l, k), KindLong, l, d, d);
                        skipUntil = i + l;
                        break;
                    }
                    for (uint32_t n = std::max<uint32_t>(best + 1, 2); n <= l; n++) {
                        uint32_t cost = LongCost(d, n, k);
                        if (cost != Infinite) relax(i, i + n, cost, KindLong, n, d, d);
                    }
                    best = l;
                }
            }
            prev[i] = head[h];
            head[h] = int32_t(i);
        }
    }
    std::vector<Item> items;
    for (size_t p = size; p > 0; p = nodes[p].From)
        items.push_back(Item{nodes[p].Kind, nodes[p].Length, nodes[p].Distance});
    std::reverse(items.begin(), items.end());
    return items;
}

// Cheapest index width for the long-match distances of a parse.
int ChooseIndexBits(const std::vector<Item>& items)
{
    int bestK = 8;
    uint64_t bestCost = UINT64_MAX;
    for (int k = 0; k <= 15; k++) {
        uint64_t cost = k == 8 ? 0 : 16;
        for (const Item& it : items)
            if (it.Kind == KindLong) cost += GammaCost((it.Distance >> k) + 3) + uint32_t(k);
        if (cost < bestCost) { bestCost = cost; bestK = k; }
    }
    return bestK;
}

// State 0: 8-bit literals; state 1 + b: 7-bit literals with base b. Returns
// the state for each literal, chosen to minimise literal bits plus switches.
std::vector<uint16_t> ChooseLiteralModes(const std::vector<uint8_t>& lits)
{
    const int States = 257;
    size_t n = lits.size();
    std::vector<uint16_t> modes(n);
    if (n == 0) return modes;
    std::vector<uint32_t> cost(States, 0), next(States);
    std::vector<uint8_t> switched(n * States);
    std::vector<uint16_t> bestBefore(n);
    auto litCost = [](int s, uint8_t v) -> uint32_t {
        if (s == 0) return 8;
        return uint8_t(v - uint8_t(s - 1)) < 128 ? 7 : Infinite;
    };
    for (size_t j = 0; j < n; j++) {
        uint32_t minCost = 0;
        int minState = 0;
        if (j > 0) {
            minCost = Infinite;
            for (int s = 0; s < States; s++)
                if (cost[s] < minCost) { minCost = cost[s]; minState = s; }
        }
        bestBefore[j] = uint16_t(minState);
        for (int s = 0; s < States; s++) {
            uint32_t lc = litCost(s, lits[j]);
            uint32_t stay = (j > 0 && cost[s] != Infinite) ? cost[s] : Infinite;
            uint32_t sw = minCost + (s == 0 ? 9 : 17);
            bool useSwitch = sw < stay;
            uint32_t base = useSwitch ? sw : stay;
            switched[j * States + s] = useSwitch;
            next[s] = (lc == Infinite || base == Infinite) ? Infinite : base + lc;
        }
        cost.swap(next);
    }
    int s = int(std::min_element(cost.begin(), cost.end()) - cost.begin());
    for (size_t j = n; j-- > 0;) {
        modes[j] = uint16_t(s);
        if (switched[j * States + s]) s = bestBefore[j];
    }
    return modes;
}

}  // namespace

std::vector<uint8_t> PackImage(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> litCost;
    std::vector<Item> items = Parse(data, size, 8, litCost);
    int k = ChooseIndexBits(items);
    if (k != 8) items = Parse(data, size, k, litCost);

    // Second pass: bytes the first pass sent as literals or raw blocks tell
    // where 7-bit literals would pay; price literals accordingly and parse again.
    {
        std::vector<uint8_t> candidates;
        std::vector<uint32_t> where;
        size_t pos = 0;
        for (const Item& it : items) {
            if (it.Kind == KindLiteral || it.Kind == KindRaw)
                for (uint32_t b = 0; b < it.Length; b++) {
                    candidates.push_back(data[pos + b]);
                    where.push_back(uint32_t(pos + b));
                }
            pos += it.Length;
        }
        std::vector<uint16_t> m = ChooseLiteralModes(candidates);
        bool any7 = false;
        for (uint16_t x : m) any7 = any7 || x != 0;
        if (any7) {
            litCost.assign(size, 9);
            size_t c = 0;
            int mode = m.empty() ? 0 : m[0];
            for (size_t p = 0; p < size; p++) {
                while (c < where.size() && where[c] <= p) mode = m[c++];
                if (mode != 0 && uint8_t(data[p] - uint8_t(mode - 1)) < 128) litCost[p] = 8;
            }
            items = Parse(data, size, k, litCost);
        }
    }

    std::vector<uint8_t> lits;
    {
        size_t pos = 0;
        for (const Item& it : items) {
            if (it.Kind == KindLiteral) lits.push_back(data[pos]);
            pos += it.Length;
        }
    }
    std::vector<uint16_t> modes = ChooseLiteralModes(lits);

    std::vector<uint8_t> out = {0x4A, 0x43};
    for (int i = 0; i < 4; i++) out.push_back(uint8_t(uint32_t(size) >> (8 * i)));
    uint32_t sum = PackedChecksum(data, size);
    for (int i = 0; i < 4; i++) out.push_back(uint8_t(sum >> (8 * i)));

    BitWriter w{&out, 0, 0};
    if (k != 8) {
        PutBits(&w, 0, 3 + 7);
        PutBits(&w, 1, 2);  // four bits of index width follow
        PutBits(&w, uint32_t(k), 4);
    }
    size_t pos = 0, litIndex = 0;
    int mode = -1;
    for (size_t i = 0; i < items.size(); i++) {
        const Item& it = items[i];
        switch (it.Kind) {
        case KindLiteral: {
            int m = modes[litIndex++];
            if (m != mode) {
                PutBits(&w, 0x1, 3);   // 001
                PutBits(&w, 0, 4 + 1); // V = 0, B = 0: literal-width code
                PutBit(&w, m == 0);
                if (m != 0) PutBits(&w, uint32_t(m - 1), 8);
                mode = m;
            }
            PutBit(&w, 1);
            if (mode == 0) PutBits(&w, data[pos], 8);
            else PutBits(&w, uint8_t(data[pos] - uint8_t(mode - 1)), 7);
            break;
        }
        case KindZero:
            PutBits(&w, 0x1, 3);
            PutBits(&w, 1, 4);
            break;
        case KindNear:
            PutBits(&w, 0x1, 3);
            PutBits(&w, it.Distance + 1, 4);
            break;
        case KindShort:
            PutBits(&w, 0, 3);
            PutBits(&w, it.Distance, 7);
            PutBits(&w, it.Length - 2, 2);
            break;
        case KindLong:
            PutBits(&w, 1, 2);
            PutGamma(&w, (it.Distance >> k) + 3);
            PutBits(&w, it.Distance & ((1u << k) - 1), k);
            PutGamma(&w, it.Length - Adjustment(it.Distance));
            break;
        case KindRepeat:
            PutBits(&w, 1, 2);
            PutGamma(&w, 2);
            PutGamma(&w, it.Length);
            break;
        case KindRaw: {
            // Consecutive raw blocks share one header, chained by a 1 bit.
            bool chained = i > 0 && items[i - 1].Kind == KindRaw;
            if (!chained) {
                PutBits(&w, 0x1, 3);
                PutBits(&w, 0, 4);
                PutBit(&w, 1);
            }
            for (uint32_t b = 0; b < 256; b++) PutBits(&w, data[pos + b], 8);
            PutBit(&w, i + 1 < items.size() && items[i + 1].Kind == KindRaw);
            break;
        }
        }
        pos += it.Length;
    }
    PutBits(&w, 0, 3 + 7 + 2);  // end code
    Flush(&w);
    return out;
}
