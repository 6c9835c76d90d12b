#include "word_tables.h"

#include <algorithm>

namespace conv {

namespace {

size_t alignEven(size_t n) { return n + (n & 1); }

std::vector<uint8_t> copyOf(ByteView v) { return std::vector<uint8_t>(v.data, v.data + v.size); }

// Fills one style from its STD bytes; false when its fixed part is missing.
bool parseStyle(ByteView std, size_t baseSize, WordStyle &style) {
    if (baseSize < 10 || !std.has(0, baseSize)) return false;
    style.present = true;
    style.kind = uint8_t(std.u16(2) & 0x000F);
    style.base = uint16_t(std.u16(2) >> 4);
    size_t upxCount = std.u16(4) & 0x000F;

    size_t pos = baseSize;
    if (!std.has(pos, 2)) return true;
    size_t nameChars = std.u16(pos);
    pos = alignEven(pos + 2 + nameChars * 2 + 2);  // name and its terminating 0

    std::vector<ByteView> upx;
    for (size_t i = 0; i < upxCount && std.has(pos, 2); ++i) {
        size_t cb = std.u16(pos);
        if (!std.has(pos + 2, cb)) break;
        upx.push_back(std.sub(pos + 2, cb));
        pos = alignEven(pos + 2 + cb);
    }
    auto paragraphUpx = [&](size_t i) {
        // A paragraph UPX starts with the style index.
        if (i < upx.size() && upx[i].size >= 2) style.paragraphSprms = copyOf(upx[i].sub(2, upx[i].size));
    };
    auto characterUpx = [&](size_t i) {
        if (i < upx.size()) style.characterSprms = copyOf(upx[i]);
    };
    switch (style.kind) {
    case WordStyle::kParagraph: paragraphUpx(0); characterUpx(1); break;
    case WordStyle::kCharacter: characterUpx(0); break;
    case WordStyle::kTable: paragraphUpx(1); characterUpx(2); break;
    case WordStyle::kNumbering: paragraphUpx(0); break;
    default: break;
    }
    return true;
}

}  // namespace

bool WordStyleSheet::parse(ByteView bytes) {
    styles_.clear();
    if (bytes.size == 0) return true;
    if (!bytes.has(0, 6)) return false;
    size_t headerSize = bytes.u16(0);
    size_t count = bytes.u16(2);
    size_t baseSize = bytes.u16(4);
    size_t pos = 2 + headerSize;
    if (!bytes.has(pos, 0)) return false;
    styles_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        if (!bytes.has(pos, 2)) break;  // a short sheet keeps the styles it has
        size_t cb = bytes.u16(pos);
        pos += 2;
        if (!bytes.has(pos, cb)) break;
        if (cb != 0) parseStyle(bytes.sub(pos, cb), baseSize, styles_[i]);
        pos += cb;
    }
    return true;
}

std::vector<const WordStyle *> WordStyleSheet::chain(uint16_t istd) const {
    std::vector<const WordStyle *> out;
    const WordStyle *s = style(istd);
    while (s && out.size() <= styles_.size()) {
        if (std::find(out.begin(), out.end(), s) != out.end()) break;  // a loop
        out.push_back(s);
        if (s->base == WordStyle::kNoBase) break;
        s = style(s->base);
    }
    std::reverse(out.begin(), out.end());
    return out;
}

bool WordPieceTable::parse(ByteView clx) {
    groups_.clear();
    pieces_.clear();
    size_t pos = 0;
    while (clx.has(pos, 1)) {
        uint8_t kind = clx.u8(pos);
        if (kind == 1) {
            if (!clx.has(pos + 1, 2)) return false;
            size_t cb = clx.u16(pos + 1);
            if (!clx.has(pos + 3, cb)) return false;
            groups_.push_back(copyOf(clx.sub(pos + 3, cb)));
            pos += 3 + cb;
        } else if (kind == 2) {
            if (!clx.has(pos + 1, 4)) return false;
            size_t lcb = clx.u32(pos + 1);
            if (!clx.has(pos + 5, lcb)) return false;
            Plcf plex;
            if (!plex.parse(copyOf(clx.sub(pos + 5, lcb)), 8) || plex.count() == 0) return false;
            for (size_t i = 0; i < plex.count(); ++i) {
                WordPiece p;
                p.cpStart = plex.position(i);
                p.cpEnd = plex.position(i + 1);
                if (p.cpEnd < p.cpStart || (i > 0 && p.cpStart < pieces_.back().cpEnd)) return false;
                ByteView pcd = plex.element(i);
                uint32_t fc = pcd.u32(2);
                p.compressed = (fc & 0x40000000) != 0;
                p.fcStart = p.compressed ? (fc >> 1) & 0x1FFFFFFF : fc & 0x3FFFFFFF;
                p.prm = pcd.u16(6);
                pieces_.push_back(p);
            }
            return true;
        } else {
            return false;
        }
    }
    return false;  // no piece table in it
}

ByteView WordPieceTable::pieceSprms(const WordPiece &piece) const {
    if ((piece.prm & 1) == 0) return {};
    size_t index = piece.prm >> 1;
    return index < groups_.size() ? ByteView(groups_[index]) : ByteView();
}

size_t WordPieceTable::find(uint32_t cp) const {
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), cp,
                               [](uint32_t v, const WordPiece &p) { return v < p.cpStart; });
    if (it == pieces_.begin()) return pieces_.size();
    size_t i = size_t(it - pieces_.begin()) - 1;
    // Empty pieces share their start with the next one; take the one holding cp.
    while (i < pieces_.size() && cp >= pieces_[i].cpEnd) ++i;
    return i < pieces_.size() && cp >= pieces_[i].cpStart ? i : pieces_.size();
}

bool parseFontTable(ByteView bytes, std::vector<std::u16string> &names) {
    names.clear();
    if (bytes.size == 0) return true;
    size_t pos = 0;
    if (bytes.u16(0) == 0xFFFF) pos = 2;
    if (!bytes.has(pos, 4)) return false;
    size_t count = bytes.u16(pos);
    pos += 4;
    for (size_t i = 0; i < count && bytes.has(pos, 1); ++i) {
        size_t cb = bytes.u8(pos);
        ByteView ffn = bytes.sub(pos + 1, cb);
        std::u16string name;
        // The name follows 39 bytes of font family, weight, character set,
        // panose and signature; it ends at a 0.
        for (size_t at = 39; ffn.has(at, 2); at += 2) {
            char16_t c = char16_t(ffn.u16(at));
            if (c == 0) break;
            name.push_back(c);
        }
        names.push_back(std::move(name));
        pos += 1 + cb;
    }
    return true;
}

uint8_t WordFieldTable::typeAt(uint32_t cp) const {
    size_t i = plex_.lowerBound(cp);
    if (i >= plex_.count() || plex_.position(i) != cp) return 0;
    ByteView fld = plex_.element(i);
    return (fld.u8(0) & 0x1F) == 19 ? fld.u8(1) : 0;
}

bool WordBookmarks::parse(ByteView nameBytes, std::vector<uint8_t> startBytes, std::vector<uint8_t> endBytes) {
    Sttb table;
    if (!parseSttb(nameBytes, table)) return false;
    names = std::move(table.strings);
    return starts.parse(std::move(startBytes), 4) && ends.parse(std::move(endBytes), 0);
}

size_t WordBookmarks::endIndexOf(size_t i) const {
    size_t e = starts.element(i).u16(0);
    return e < ends.count() ? e : ends.count();
}

size_t parseListLevel(ByteView bytes, size_t offset, WordListLevel &level) {
    constexpr size_t kFixed = 28;
    if (!bytes.has(offset, kFixed)) return 0;
    ByteView lvlf = bytes.sub(offset, kFixed);
    level.startAt = lvlf.i32(0);
    level.numberFormat = lvlf.u8(4);
    size_t pos = offset + kFixed + lvlf.u8(24) + lvlf.u8(25);  // character and paragraph sprms
    if (!bytes.has(pos, 2)) return 0;
    size_t chars = bytes.u16(pos);
    if (!bytes.has(pos + 2, chars * 2)) return 0;
    level.text.resize(chars);
    for (size_t i = 0; i < chars; ++i) level.text[i] = char16_t(bytes.u16(pos + 2 + 2 * i));
    return pos + 2 + chars * 2 - offset;
}

bool WordLists::parseLists(WordSource &table, uint64_t fc, uint32_t lcb) {
    lists.clear();
    if (lcb == 0) return true;
    std::vector<uint8_t> head;
    if (lcb < 2 || !table.readRange(fc, lcb, head)) return false;
    ByteView plf(head);
    int count = plf.i16(0);
    if (count < 0 || 2 + size_t(count) * 28 > plf.size) return false;

    // The levels follow the list definitions (some writers count them in lcb).
    uint64_t levelPos = fc + 2 + uint64_t(count) * 28;
    for (int i = 0; i < count; ++i) {
        ByteView lstf = plf.sub(2 + size_t(i) * 28, 28);
        WordList list;
        list.id = lstf.i32(0);
        list.simple = (lstf.u8(26) & 0x01) != 0;
        size_t levelCount = list.simple ? 1 : 9;
        for (size_t l = 0; l < levelCount; ++l) {
            // Read the fixed part, then the whole level once its size is known.
            std::vector<uint8_t> bytes;
            if (!table.readRange(levelPos, 28, bytes)) return false;
            size_t sprmBytes = size_t(bytes[24]) + bytes[25];
            uint16_t chars = 0;
            if (!table.readU16(levelPos + 28 + sprmBytes, chars)) return false;
            if (!table.readRange(levelPos, 28 + sprmBytes + 2 + size_t(chars) * 2, bytes)) return false;
            WordListLevel level;
            size_t used = parseListLevel(ByteView(bytes), 0, level);
            if (used == 0) return false;
            list.levels.push_back(std::move(level));
            levelPos += used;
        }
        lists.push_back(std::move(list));
    }
    return true;
}

bool WordLists::parseOverrides(ByteView bytes) {
    overrides.clear();
    if (bytes.size == 0) return true;
    if (!bytes.has(0, 4)) return false;
    size_t count = bytes.u32(0);
    if (count > (bytes.size - 4) / 16) return false;
    std::vector<size_t> levelCounts;
    for (size_t i = 0; i < count; ++i) {
        ByteView lfo = bytes.sub(4 + i * 16, 16);
        WordListOverride o;
        o.listId = lfo.i32(0);
        levelCounts.push_back(lfo.u8(12));
        overrides.push_back(std::move(o));
    }
    // The override levels follow, list by list; a short tail keeps what came.
    size_t pos = 4 + count * 16;
    for (size_t i = 0; i < count; ++i) {
        if (!bytes.has(pos, 4)) return true;
        pos += 4;
        for (size_t l = 0; l < levelCounts[i]; ++l) {
            if (!bytes.has(pos, 8)) return true;
            WordListOverrideLevel level;
            level.startAt = bytes.i32(pos);
            uint32_t flags = bytes.u32(pos + 4);
            level.level = uint8_t(flags & 0x0F);
            level.hasStart = (flags & 0x10) != 0;
            pos += 8;
            if (flags & 0x20) {
                WordListLevel format;
                size_t used = parseListLevel(bytes, pos, format);
                if (used == 0) return true;
                level.format = std::move(format);
                pos += used;
            }
            overrides[i].levels.push_back(std::move(level));
        }
    }
    return true;
}

const WordList *WordLists::list(int32_t id) const {
    for (const auto &l : lists)
        if (l.id == id) return &l;
    return nullptr;
}

std::optional<WordShapeAnchor> WordShapeAnchors::at(uint32_t cp) const {
    size_t i = plex_.lowerBound(cp);
    if (i >= plex_.count() || plex_.position(i) != cp) return std::nullopt;
    ByteView fspa = plex_.element(i);
    WordShapeAnchor a;
    a.shapeId = fspa.u32(0);
    a.left = fspa.i32(4);
    a.top = fspa.i32(8);
    a.right = fspa.i32(12);
    a.bottom = fspa.i32(16);
    return a;
}

}  // namespace conv
