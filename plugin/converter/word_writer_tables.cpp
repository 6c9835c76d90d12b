#include "word_writer_tables.h"

#include "byte_order.h"

#include <algorithm>

namespace conv {

namespace {

// An extended string table: 0xFFFF, the count, no extra data, then each
// string as a u16 count and UTF-16 units.
std::vector<uint8_t> extendedStringTable(const std::vector<std::u16string> &strings) {
    ByteWriter w;
    w.u16(0xFFFF);
    w.u16(uint16_t(strings.size()));
    w.u16(0);
    for (const auto &s : strings) {
        w.u16(uint16_t(s.size()));
        w.utf16(s);
    }
    return w.take();
}

}  // namespace

std::vector<uint8_t> SectionTable::serialise(uint32_t endCp) const {
    ByteWriter w;
    for (const Section &s : sections_) w.u32(s.firstCp);
    w.u32(endCp);
    for (const Section &s : sections_) {
        w.u16(0);
        w.u32(s.sepxFc);
        w.u16(0);
        w.u32(0xFFFFFFFF);  // no printer settings
    }
    return w.take();
}

FontTable::FontTable() {
    // pitch 2 (variable) in the low bits, 0x04 TrueType, the family code × 16
    fonts_ = {
        {u"Arial", 0x26, 0},
        {u"Symbol", 0x16, 2},
        {u"Times New Roman", 0x06, 0},
    };
    for (size_t i = 0; i < fonts_.size(); ++i) index_.emplace(fonts_[i].name, uint16_t(i));
}

uint16_t FontTable::indexOf(const std::u16string &name) {
    auto it = index_.find(name);
    if (it != index_.end()) return it->second;
    if (fonts_.size() >= kMaxFonts) return kTimesNewRoman;
    auto index = uint16_t(fonts_.size());
    fonts_.push_back({name.substr(0, kMaxNameLength), 0x16, 0});
    index_.emplace(name, index);
    return index;
}

std::vector<uint8_t> FontTable::serialise() const {
    ByteWriter w;
    w.u16(uint16_t(fonts_.size()));
    w.u16(0);
    for (const Font &f : fonts_) {
        w.u8(uint8_t(41 + 2 * f.name.size()));  // the entry's size − 1
        w.u8(f.pitchAndFamily);
        w.u16(400);
        w.u8(f.charset);
        w.u8(0);       // no alternate name
        w.zeros(10);   // PANOSE
        w.zeros(24);   // font signature
        w.utf16(f.name);
        w.u16(0);
    }
    return w.take();
}

std::vector<uint8_t> FieldTable::serialise(uint32_t endCp) const {
    if (entries_.empty()) return {};
    ByteWriter w;
    for (const Entry &e : entries_) w.u32(e.cp);
    w.u32(endCp);
    for (const Entry &e : entries_) {
        w.u8(e.ch);
        w.u8(e.value);
    }
    return w.take();
}

bool BookmarkTable::start(uint32_t id, const std::u16string &name, uint32_t cp) {
    if (names_.size() >= kMaxBookmarks) return false;
    open_[id] = names_.size();
    names_.push_back(name.substr(0, 0xFFFF));
    startCps_.push_back(cp);
    endIndex_.push_back(0);
    return true;
}

bool BookmarkTable::end(uint32_t id, uint32_t cp) {
    auto it = open_.find(id);
    if (it == open_.end()) return false;
    endIndex_[it->second] = uint16_t(endCps_.size());
    endCps_.push_back(cp);
    open_.erase(it);
    return true;
}

void BookmarkTable::endAll(uint32_t cp) {
    // In the order the bookmarks started, so the ends stay reproducible.
    std::vector<size_t> still;
    for (const auto &[id, index] : open_) still.push_back(index);
    std::sort(still.begin(), still.end());
    for (size_t index : still) {
        endIndex_[index] = uint16_t(endCps_.size());
        endCps_.push_back(cp);
    }
    open_.clear();
}

std::vector<uint8_t> BookmarkTable::serialiseNames() const {
    return names_.empty() ? std::vector<uint8_t>{} : extendedStringTable(names_);
}

std::vector<uint8_t> BookmarkTable::serialiseStarts(uint32_t endCp) const {
    if (names_.empty()) return {};
    ByteWriter w;
    for (uint32_t cp : startCps_) w.u32(cp);
    w.u32(endCp);
    for (uint16_t e : endIndex_) {
        w.u16(e);
        w.u16(0);
    }
    return w.take();
}

std::vector<uint8_t> BookmarkTable::serialiseEnds(uint32_t endCp) const {
    if (names_.empty()) return {};
    ByteWriter w;
    for (uint32_t cp : endCps_) w.u32(cp);
    w.u32(endCp);
    return w.take();
}

std::vector<uint8_t> ListTable::encodeLevel(const DocsListDefinition &list, int level, FontTable &fonts) {
    using F = DocsListDefinition;
    uint8_t code = list.formats[size_t(level)];
    bool numbered = code <= F::kOrdinalText || code == F::kDecimalLeadingZero || code == F::kNoNumber;
    uint8_t nfc = numbered ? code : uint8_t(F::kBullet);

    std::u16string text;
    std::array<uint8_t, 9> placeholders{};
    if (!numbered) {
        text = code == F::kBulletO ? u"o" : code == F::kSquareBullet ? u"\uF0A7" : u"\uF0B7";
    } else {
        int first = code == F::kDecimal && list.multilevel ? 0 : level;
        for (int l = first; l <= level; ++l) {
            placeholders[size_t(l - first)] = uint8_t(text.size() + 1);
            text.push_back(char16_t(l));
            text.push_back(u'.');
        }
    }

    int16_t indent = int16_t((level + 1) * 360);
    SprmList papx;
    papx.add(sprm::kPDxaLeft1New, uint16_t(-360));
    papx.add(sprm::kPDxaLeftNew, uint16_t(indent));
    // Tab changes: no deletions, one tab added at the indent (descriptor 6).
    papx.addVariable(sprm::kPChgTabsPapx, {5, 0, 1, uint8_t(indent), uint8_t(indent >> 8), 6});
    papx.add(sprm::kPDxaLeft1, uint16_t(-360));
    papx.add(sprm::kPDxaLeft, uint16_t(indent));

    SprmList chpx;
    if (code == F::kBullet || code == F::kBulletO || code == F::kSquareBullet) {
        uint16_t font = fonts.indexOf(code == F::kSquareBullet ? u"Wingdings" : u"Symbol");
        chpx.add(sprm::kCIdctHint, 0);
        chpx.add(sprm::kCRgFtc2, font);
        chpx.add(sprm::kCRgFtc0, font);
    }

    ByteWriter w;
    w.u32(list.startValues[size_t(level)]);
    w.u8(nfc);
    w.u8(0);  // alignment and flags
    for (uint8_t p : placeholders) w.u8(p);
    w.u8(0);  // followed by a tab
    w.u32(0);
    w.u32(0);
    w.u8(uint8_t(chpx.size()));
    w.u8(uint8_t(papx.size()));
    w.u8(0);
    w.u8(0);
    w.append(papx.bytes());
    w.append(chpx.bytes());
    w.u16(uint16_t(text.size()));
    w.utf16(text);
    return w.take();
}

bool ListTable::add(const DocsListDefinition &list, FontTable &fonts) {
    if (lists_.size() >= kMaxLists) return false;
    List entry{list.listId, {}};
    for (int level = 0; level < DocsListDefinition::kLevels; ++level) {
        std::vector<uint8_t> bytes = encodeLevel(list, level, fonts);
        entry.levels.insert(entry.levels.end(), bytes.begin(), bytes.end());
    }
    firstById_.emplace(list.listId, uint16_t(lists_.size() + 1));
    lists_.push_back(std::move(entry));
    return true;
}

uint16_t ListTable::overrideOf(uint32_t listId) const {
    auto it = firstById_.find(listId);
    return it == firstById_.end() ? 0 : it->second;
}

std::vector<uint8_t> ListTable::serialiseLists(uint32_t &lcb) const {
    ByteWriter w;
    w.u16(uint16_t(lists_.size()));
    for (const List &l : lists_) {
        w.u32(l.id);
        w.u32(0);  // template code
        for (int i = 0; i < 9; ++i) w.u16(0x0FFF);
        w.u8(0);   // nine levels
        w.u8(0);
    }
    lcb = uint32_t(w.size());
    for (const List &l : lists_) w.append(l.levels);
    return w.take();
}

std::vector<uint8_t> ListTable::serialiseOverrides() const {
    ByteWriter w;
    w.u32(uint32_t(lists_.size()));
    for (const List &l : lists_) {
        w.u32(l.id);
        w.zeros(8);
        w.u8(0);  // no level overrides
        w.zeros(3);
    }
    for (size_t i = 0; i < lists_.size(); ++i) w.u32(0xFFFFFFFF);
    return w.take();
}

std::vector<uint8_t> ListTable::serialiseNames() const {
    if (lists_.empty()) return {};
    return extendedStringTable(std::vector<std::u16string>(lists_.size()));
}

std::vector<uint8_t> serialiseAssociatedStrings(const DocsDocInfo &info) {
    std::vector<std::u16string> strings(18);
    strings[2] = info.string(DocsDocInfo::kTitle);
    strings[3] = info.string(DocsDocInfo::kSubject);
    strings[5] = info.string(DocsDocInfo::kComments);
    strings[6] = info.string(DocsDocInfo::kAuthor);
    return extendedStringTable(strings);
}

std::vector<uint8_t> serialiseRevisionAuthors() { return extendedStringTable({u"Unknown"}); }

std::vector<uint8_t> defaultStyleSheet() {
    return {
        0x12, 0x00, 0x0F, 0x00, 0x0A, 0x00, 0x01, 0x00, 0x5B, 0x00, 0x0F, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x24, 0x00, 0x00, 0x40, 0xF1, 0xFF, 0x02, 0x00, 0x24, 0x00, 0x00, 0x00, 0x06, 0x00,
        0x4E, 0x00, 0x6F, 0x00, 0x72, 0x00, 0x6D, 0x00, 0x61, 0x00, 0x6C, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
        0x00, 0x04, 0x00, 0x6D, 0x48, 0x09, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3C, 0x00, 0x41, 0x40, 0xF2, 0xFF, 0xA1, 0x00, 0x3C,
        0x00, 0x00, 0x00, 0x16, 0x00, 0x44, 0x00, 0x65, 0x00, 0x66, 0x00, 0x61, 0x00, 0x75, 0x00, 0x6C, 0x00,
        0x74, 0x00, 0x20, 0x00, 0x50, 0x00, 0x61, 0x00, 0x72, 0x00, 0x61, 0x00, 0x67, 0x00, 0x72, 0x00, 0x61,
        0x00, 0x70, 0x00, 0x68, 0x00, 0x20, 0x00, 0x46, 0x00, 0x6F, 0x00, 0x6E, 0x00, 0x74, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    };
}

uint16_t StyleSheet::use(uint16_t index) {
    if (index > kMaxIndex) return 0;
    if (index >= used_.size()) used_.resize(size_t(index) + 1, false);
    used_[index] = true;
    return index;
}

std::vector<uint8_t> StyleSheet::serialise() const {
    std::vector<uint8_t> sheet = defaultStyleSheet();
    constexpr size_t kHeader = 20, kFixedSlots = 15, kNormalEnd = 58, kDefaultFontStart = 76, kDefaultFontEnd = 138;
    bool extra = false;
    for (size_t i = 0; i < used_.size(); ++i) extra = extra || (used_[i] && i != 0 && i != 10);
    if (!extra) return sheet;

    size_t count = std::max(kFixedSlots, used_.size());
    qv::storeLE16(&sheet[2], uint16_t(count));  // the style count
    ByteWriter w;
    w.append(sheet.data(), kHeader);
    for (size_t i = 0; i < count; ++i) {
        if (i == 0) {
            w.append(sheet.data() + kHeader, kNormalEnd - kHeader);
        } else if (i == 10) {
            w.append(sheet.data() + kDefaultFontStart, kDefaultFontEnd - kDefaultFontStart);
        } else if (i < used_.size() && used_[i]) {
            std::string ascii = i <= 9 ? "heading " + std::to_string(i) : "Style " + std::to_string(i);
            std::u16string name(ascii.begin(), ascii.end());
            uint16_t size = uint16_t(10 + 2 + 2 * name.size() + 2 + 4 + 2);
            w.u16(size);
            w.u16(uint16_t((i <= 9 ? i : 0x0FFE) | 0x4000));  // built-in heading or a user style
            w.u16(0x0001);                                      // a paragraph style based on "Normal"
            w.u16(uint16_t(2 | (i << 4)));                      // two property groups; next style itself
            w.u16(size);
            w.u16(0);
            w.u16(uint16_t(name.size()));
            w.utf16(name);
            w.u16(0);
            w.u16(2);  // paragraph properties: the style index only
            w.u16(uint16_t(i));
            w.u16(0);  // no character properties
        } else {
            w.u16(0);  // an empty slot
        }
    }
    return w.take();
}

std::vector<uint8_t> defaultDocumentProperties() {
    std::vector<uint8_t> dop(500, 0);
    auto set = [&dop](size_t offset, std::initializer_list<uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), dop.begin() + long(offset));
    };
    set(0, {0x22});              // widow control; footnote position
    set(2, {0x04});              // footnote numbering starts at 1
    set(4, {0x01, 0x08});
    set(6, {0x8D, 0x18});
    set(10, {0xD0, 0x02});       // default tab stop 720
    set(14, {0x68, 0x01});       // hyphenation hot zone 360
    set(20, {0x69, 0xAC, 0xFB, 0x45});  // created
    set(24, {0x69, 0xAC, 0xFB, 0x45});  // revised
    set(32, {0x01, 0x00});       // revision 1
    set(52, {0x04});             // endnote numbering starts at 1
    set(54, {0x83, 0x10});
    set(82, {0x21, 0x03});
    set(84, {0x00, 0x00, 0x08, 0x80});
    set(410, {0x12, 0x30});
    return dop;
}

std::vector<uint8_t> defaultWindowState() {
    std::vector<uint8_t> wss(36, 0);
    const uint8_t head[] = {0x00, 0x80, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x78, 0xA6, 0x4E, 0x01, 0x01, 0x00};
    std::copy(std::begin(head), std::end(head), wss.begin());
    return wss;
}

std::vector<uint8_t> WordFibWriter::serialise() const {
    ByteWriter w;
    // The fixed base.
    w.u16(0xA5EC);   // identifies a Word document
    w.u16(193);      // nFib
    w.u16(0x6071);   // product
    w.u16(0x0409);   // language
    w.u16(0);
    w.u16(0x1200);   // the "1Table" stream and extended characters
    w.u16(191);      // nFibBack
    w.u32(0);
    w.u8(0);
    w.u8(0x10);
    w.u16(0);
    w.u16(0);
    w.u32(kFcMin);
    w.u32(fcMac);
    // 14 16-bit values.
    w.u16(14);
    const uint16_t shorts[14] = {0x6A62, 0x6A62, 0x5071, 0x5071, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0409};
    for (uint16_t v : shorts) w.u16(v);
    // 22 32-bit values.
    w.u16(22);
    uint32_t longs[22] = {};
    longs[0] = cbMac;
    longs[1] = longs[2] = 80403;  // product created and revised
    longs[3] = ccpText;
    longs[11] = longs[14] = longs[17] = 0xFFFFF;  // first pages of the bin tables: none
    for (uint32_t v : longs) w.u32(v);
    // The fc/lcb pairs.
    w.u16(uint16_t(kPairCount));
    for (const Pair &p : pairs) {
        w.u32(p.fc);
        w.u32(p.lcb);
    }
    w.u16(0);  // no further 16-bit values
    return w.take();
}

}  // namespace conv
