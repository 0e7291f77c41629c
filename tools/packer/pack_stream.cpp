#include "tools/packer/pack_stream.h"

#include <algorithm>
#include <cstring>

#include "skin/packed_image.h"

namespace {

enum ItemKind : uint8_t { KindLiteral, KindZero, KindNear, KindShort, KindLong, KindRepeat, KindRaw };

// One code of the parse: what it is, how many bytes it covers, from how far.
struct Item {
    uint8_t Kind;
    uint32_t Length;
    uint32_t Distance;
};

constexpr uint32_t kNiceLength = 192;  // a match this long is taken at once
constexpr int kChainDepth = 96;
constexpr uint32_t kInfinite = 0xFFFFFFFFu;
constexpr uint32_t kHashSize = 1u << 16;
constexpr int kLiteralStates = 257;  // 8-bit literals, or 7-bit ones with one of 256 bases

// ---- Bit output ----

struct BitWriter {
    std::vector<uint8_t>* Out;
    uint32_t Word;
    int Count;
};

void PutBit(BitWriter* w, unsigned bit) {
    w->Word = (w->Word << 1) | (bit & 1);
    if (++w->Count == 32) {
        for (int i = 0; i < 4; ++i) w->Out->push_back(uint8_t(w->Word >> (8 * i)));
        w->Word = 0;
        w->Count = 0;
    }
}

void PutBits(BitWriter* w, uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) PutBit(w, unsigned(value >> i) & 1);
}

int TopBit(uint32_t v) {
    int n = 0;
    while (v >>= 1) ++n;
    return n;
}

void PutGamma(BitWriter* w, uint32_t value) {
    for (int i = TopBit(value) - 1; i >= 0; --i) {
        PutBit(w, (value >> i) & 1);
        PutBit(w, i > 0);
    }
}

void Flush(BitWriter* w) {
    while (w->Count != 0) PutBit(w, 0);
}

// ---- Costs in bits ----

uint32_t GammaCost(uint32_t v) { return 2 * uint32_t(TopBit(v)); }

uint32_t LongCost(uint32_t distance, uint32_t length, int indexBits) {
    const uint32_t adjustment = LongMatchAdjustment(distance);
    if (length < adjustment + 2) return kInfinite;
    return 2 + GammaCost((distance >> indexBits) + 3) + uint32_t(indexBits) +
           GammaCost(length - adjustment);
}

// ---- Optimal parse: a forward dynamic programme over positions ----

struct Node {
    uint32_t Cost;
    uint32_t From;
    uint32_t Length;
    uint32_t Distance;
    uint32_t Rep;  // lastOffset on the best path to this position
    uint8_t Kind;
};

struct Parser {
    const uint8_t* Data;
    size_t Size;
    int IndexBits;
    const std::vector<uint8_t>* LiteralCost;  // empty: 9 bits everywhere
    std::vector<Node> Nodes;
    std::vector<int32_t> Head, Prev;  // hash chains of 3-byte strings
    size_t SkipUntil;                 // inside a long match already taken
};

uint32_t MatchLength(const Parser& p, size_t pos, size_t distance, size_t limit) {
    size_t n = 0;
    const size_t longest = std::min(p.Size - pos, limit);
    while (n < longest && p.Data[pos + n] == p.Data[pos + n - distance]) ++n;
    return uint32_t(n);
}

uint32_t HashAt(const uint8_t* data, size_t pos) {
    const uint32_t three = uint32_t(data[pos]) << 16 | uint32_t(data[pos + 1]) << 8 | data[pos + 2];
    return (three * 2654435761u) >> 16;
}

void Relax(Parser& p, size_t from, uint32_t cost, uint8_t kind, uint32_t length,
           uint32_t distance, uint32_t rep) {
    const uint32_t total = p.Nodes[from].Cost + cost;
    Node& to = p.Nodes[from + length];
    if (total < to.Cost) to = Node{total, uint32_t(from), length, distance, rep, kind};
}

// Codes that cover one byte, and a raw block of 256.
void RelaxSingleBytes(Parser& p, size_t i, uint32_t rep) {
    Relax(p, i, p.LiteralCost->empty() ? 9 : (*p.LiteralCost)[i], KindLiteral, 1, 0, rep);
    if (p.Data[i] == 0) {
        Relax(p, i, 7, KindZero, 1, 0, rep);
    } else {
        for (uint32_t d = 1; d <= 14 && d <= i; ++d) {
            if (p.Data[i - d] != p.Data[i]) continue;
            Relax(p, i, 7, KindNear, 1, d, rep);
            break;
        }
    }
    if (p.Size - i >= 256) Relax(p, i, 8 + 2048 + 1, KindRaw, 256, 0, rep);
}

// Any distance below 128 costs the same 12 bits: the longest of up to 5 bytes wins.
void RelaxShortMatches(Parser& p, size_t i) {
    uint32_t best = 0, distance = 0;
    for (uint32_t d = 1; d <= 127 && d <= i && best < 5; ++d) {
        const uint32_t length = MatchLength(p, i, d, 5);
        if (length > best) {
            best = length;
            distance = d;
        }
    }
    for (uint32_t length = 2; length <= best; ++length)
        Relax(p, i, 12, KindShort, length, distance, distance);
}

void RelaxRepeatMatches(Parser& p, size_t i, uint32_t rep) {
    if (rep > i) return;
    const uint32_t longest = MatchLength(p, i, rep, p.Size);
    if (longest >= kNiceLength) {
        Relax(p, i, 4 + GammaCost(longest), KindRepeat, longest, rep, rep);
        p.SkipUntil = i + longest;
        return;
    }
    for (uint32_t n = 2; n <= longest; ++n) Relax(p, i, 4 + GammaCost(n), KindRepeat, n, rep, rep);
}

// Earlier places with the same three bytes, nearest first.
void RelaxLongMatches(Parser& p, size_t i, uint32_t hash) {
    uint32_t best = 1;
    int depth = kChainDepth;
    for (int32_t c = p.Head[hash]; c >= 0 && depth-- > 0; c = p.Prev[c]) {
        const uint32_t d = uint32_t(i - size_t(c));
        const uint32_t longest = MatchLength(p, i, d, p.Size);
        if (longest <= best) continue;
        if (longest >= kNiceLength) {
            Relax(p, i, LongCost(d, longest, p.IndexBits), KindLong, longest, d, d);
            p.SkipUntil = i + longest;
            return;
        }
        for (uint32_t n = std::max<uint32_t>(best + 1, 2); n <= longest; ++n) {
            const uint32_t cost = LongCost(d, n, p.IndexBits);
            if (cost != kInfinite) Relax(p, i, cost, KindLong, n, d, d);
        }
        best = longest;
    }
}

std::vector<Item> CheapestPath(const Parser& p) {
    std::vector<Item> items;
    for (size_t pos = p.Size; pos > 0; pos = p.Nodes[pos].From)
        items.push_back(Item{p.Nodes[pos].Kind, p.Nodes[pos].Length, p.Nodes[pos].Distance});
    std::reverse(items.begin(), items.end());
    return items;
}

// literalCost prices a literal at each position (9 bits when empty); the
// literal widths themselves are chosen afterwards on the real literal run.
std::vector<Item> Parse(const uint8_t* data, size_t size, int indexBits,
                        const std::vector<uint8_t>& literalCost) {
    Parser p{data, size, indexBits, &literalCost,
             std::vector<Node>(size + 1, Node{kInfinite, 0, 0, 0, 1, 0}),
             std::vector<int32_t>(kHashSize, -1), std::vector<int32_t>(size, -1), 0};
    p.Nodes[0].Cost = 0;
    for (size_t i = 0; i < size; ++i) {
        const bool expand = i >= p.SkipUntil && p.Nodes[i].Cost != kInfinite;
        if (expand) {
            const uint32_t rep = p.Nodes[i].Rep;
            RelaxSingleBytes(p, i, rep);
            RelaxShortMatches(p, i);
            RelaxRepeatMatches(p, i, rep);
        }
        if (size - i < 3) continue;
        const uint32_t hash = HashAt(data, i);
        if (expand && i >= p.SkipUntil) RelaxLongMatches(p, i, hash);
        p.Prev[i] = p.Head[hash];
        p.Head[hash] = int32_t(i);
    }
    return CheapestPath(p);
}

// Cheapest index width for the long-match distances of a parse.
int ChooseIndexBits(const std::vector<Item>& items) {
    int bestBits = 8;
    uint64_t bestCost = UINT64_MAX;
    for (int k = 0; k <= 15; ++k) {
        uint64_t cost = k == 8 ? 0 : 16;
        for (const Item& it : items)
            if (it.Kind == KindLong) cost += GammaCost((it.Distance >> k) + 3) + uint32_t(k);
        if (cost < bestCost) {
            bestCost = cost;
            bestBits = k;
        }
    }
    return bestBits;
}

// ---- Literal widths ----

// State 0: 8-bit literals; state 1 + b: 7-bit literals with base b. Returns
// the state for each literal, chosen to minimise literal bits plus switches.
std::vector<uint16_t> ChooseLiteralModes(const std::vector<uint8_t>& lits) {
    const size_t n = lits.size();
    std::vector<uint16_t> modes(n);
    if (n == 0) return modes;
    std::vector<uint32_t> cost(kLiteralStates, 0), next(kLiteralStates);
    std::vector<uint8_t> switched(n * kLiteralStates);
    std::vector<uint16_t> bestBefore(n);
    auto literalCost = [](int s, uint8_t v) -> uint32_t {
        if (s == 0) return 8;
        return uint8_t(v - uint8_t(s - 1)) < 128 ? 7 : kInfinite;
    };
    for (size_t j = 0; j < n; ++j) {
        // The first literal starts in any state at no cost.
        const int minState = j > 0 ? int(std::min_element(cost.begin(), cost.end()) - cost.begin()) : 0;
        const uint32_t minCost = j > 0 ? cost[minState] : 0;
        bestBefore[j] = uint16_t(minState);
        for (int s = 0; s < kLiteralStates; ++s) {
            const uint32_t lc = literalCost(s, lits[j]);
            const uint32_t stay = (j > 0 && cost[s] != kInfinite) ? cost[s] : kInfinite;
            const uint32_t sw = minCost + (s == 0 ? 9 : 17);
            const bool useSwitch = sw < stay;
            const uint32_t base = useSwitch ? sw : stay;
            switched[j * kLiteralStates + s] = useSwitch;
            next[s] = (lc == kInfinite || base == kInfinite) ? kInfinite : base + lc;
        }
        cost.swap(next);
    }
    int s = int(std::min_element(cost.begin(), cost.end()) - cost.begin());
    for (size_t j = n; j-- > 0;) {
        modes[j] = uint16_t(s);
        if (switched[j * kLiteralStates + s]) s = bestBefore[j];
    }
    return modes;
}

// ---- From parse to stream ----

// Parses with the usual index width, then again with the width that suits
// this parse's distances best.
std::vector<Item> ParseChoosingIndexBits(const uint8_t* data, size_t size, int* indexBits) {
    const std::vector<uint8_t> plainLiterals;
    std::vector<Item> items = Parse(data, size, 8, plainLiterals);
    *indexBits = ChooseIndexBits(items);
    if (*indexBits != 8) items = Parse(data, size, *indexBits, plainLiterals);
    return items;
}

// The bytes a parse sent as literals or raw blocks tell where 7-bit literals
// would pay: prices them at 8 bits there (with their code bit), 9 elsewhere.
// Empty when no 7-bit literal pays at all.
std::vector<uint8_t> SevenBitLiteralCosts(const uint8_t* data, size_t size,
                                          const std::vector<Item>& items) {
    std::vector<uint8_t> candidates;
    std::vector<uint32_t> where;
    size_t pos = 0;
    for (const Item& it : items) {
        if (it.Kind == KindLiteral || it.Kind == KindRaw)
            for (uint32_t b = 0; b < it.Length; ++b) {
                candidates.push_back(data[pos + b]);
                where.push_back(uint32_t(pos + b));
            }
        pos += it.Length;
    }
    const std::vector<uint16_t> modes = ChooseLiteralModes(candidates);
    if (std::all_of(modes.begin(), modes.end(), [](uint16_t m) { return m == 0; })) return {};
    std::vector<uint8_t> costs(size, 9);
    size_t c = 0;
    int mode = modes[0];
    for (size_t p = 0; p < size; ++p) {
        while (c < where.size() && where[c] <= p) mode = modes[c++];
        if (mode != 0 && uint8_t(data[p] - uint8_t(mode - 1)) < 128) costs[p] = 8;
    }
    return costs;
}

std::vector<uint8_t> LiteralBytes(const uint8_t* data, const std::vector<Item>& items) {
    std::vector<uint8_t> literals;
    size_t pos = 0;
    for (const Item& it : items) {
        if (it.Kind == KindLiteral) literals.push_back(data[pos]);
        pos += it.Length;
    }
    return literals;
}

void PutLe32(std::vector<uint8_t>* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out->push_back(uint8_t(value >> (8 * i)));
}

// Writes the codes of a parse, tracking the input position and literal width.
struct Emitter {
    BitWriter Bits;
    const uint8_t* Data;
    size_t Pos;
    int IndexBits;
    const std::vector<uint16_t>* Modes;  // literal width state of each literal
    size_t LiteralIndex;
    int Mode;  // current literal width state; -1 before the first literal
};

void PutLiteral(Emitter& e) {
    const int mode = (*e.Modes)[e.LiteralIndex++];
    if (mode != e.Mode) {
        PutBits(&e.Bits, 0x1, 3);      // the three-bit prefix: two zeros, then a one
        PutBits(&e.Bits, 0, 4 + 1);    // V = 0, B = 0: literal-width code
        PutBit(&e.Bits, mode == 0);
        if (mode != 0) PutBits(&e.Bits, uint32_t(mode - 1), 8);
        e.Mode = mode;
    }
    PutBit(&e.Bits, 1);
    if (mode == 0) PutBits(&e.Bits, e.Data[e.Pos], 8);
    else PutBits(&e.Bits, uint8_t(e.Data[e.Pos] - uint8_t(mode - 1)), 7);
}

// Consecutive raw blocks share one header, chained by a 1 bit.
void PutRawBlock(Emitter& e, bool chained, bool another) {
    if (!chained) {
        PutBits(&e.Bits, 0x1, 3);
        PutBits(&e.Bits, 0, 4);
        PutBit(&e.Bits, 1);
    }
    for (uint32_t b = 0; b < 256; ++b) PutBits(&e.Bits, e.Data[e.Pos + b], 8);
    PutBit(&e.Bits, another);
}

void PutItem(Emitter& e, const std::vector<Item>& items, size_t i) {
    const Item& it = items[i];
    BitWriter* w = &e.Bits;
    switch (it.Kind) {
    case KindLiteral: PutLiteral(e); break;
    case KindZero: PutBits(w, 0x1, 3); PutBits(w, 1, 4); break;
    case KindNear: PutBits(w, 0x1, 3); PutBits(w, it.Distance + 1, 4); break;
    case KindShort:
        PutBits(w, 0, 3);
        PutBits(w, it.Distance, 7);
        PutBits(w, it.Length - 2, 2);
        break;
    case KindLong:
        PutBits(w, 1, 2);
        PutGamma(w, (it.Distance >> e.IndexBits) + 3);
        PutBits(w, it.Distance & ((1u << e.IndexBits) - 1), e.IndexBits);
        PutGamma(w, it.Length - LongMatchAdjustment(it.Distance));
        break;
    case KindRepeat: PutBits(w, 1, 2); PutGamma(w, 2); PutGamma(w, it.Length); break;
    case KindRaw:
        PutRawBlock(e, i > 0 && items[i - 1].Kind == KindRaw,
                    i + 1 < items.size() && items[i + 1].Kind == KindRaw);
        break;
    }
    e.Pos += it.Length;
}

}  // namespace

std::vector<uint8_t> PackImage(const uint8_t* data, size_t size) {
    int indexBits = 8;
    std::vector<Item> items = ParseChoosingIndexBits(data, size, &indexBits);
    const std::vector<uint8_t> literalCosts = SevenBitLiteralCosts(data, size, items);
    if (!literalCosts.empty()) items = Parse(data, size, indexBits, literalCosts);
    const std::vector<uint16_t> modes = ChooseLiteralModes(LiteralBytes(data, items));

    std::vector<uint8_t> out(PackedMagic, PackedMagic + 2);
    PutLe32(&out, uint32_t(size));
    PutLe32(&out, PackedChecksum(data, size));
    Emitter e{BitWriter{&out, 0, 0}, data, 0, indexBits, &modes, 0, -1};
    if (indexBits != 8) {
        PutBits(&e.Bits, 0, 3 + 7);
        PutBits(&e.Bits, 1, 2);  // four bits of index width follow
        PutBits(&e.Bits, uint32_t(indexBits), 4);
    }
    for (size_t i = 0; i < items.size(); ++i) PutItem(e, items, i);
    PutBits(&e.Bits, 0, 3 + 7 + 2);  // end code
    Flush(&e.Bits);
    return out;
}
