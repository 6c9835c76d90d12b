// The tables the Word writer keeps in memory while it writes the text and
// serialises into the table stream "1Table" at the end: sections, fonts,
// fields, bookmarks, lists, the associated strings, the fixed style sheet,
// document properties and window state, and the FIB that points at them all.
#pragma once

#include "docs_model.h"
#include "word_writer_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace conv {

// Section boundaries and where each section's SEPX lies.
class SectionTable {
public:
    void add(uint32_t firstCp, uint32_t sepxFc) { sections_.push_back({firstCp, sepxFc}); }
    size_t count() const { return sections_.size(); }
    std::vector<uint8_t> serialise(uint32_t endCp) const;

private:
    struct Section {
        uint32_t firstCp, sepxFc;
    };
    std::vector<Section> sections_;
};

// The fonts runs and list levels name. It starts with Arial, Symbol and
// Times New Roman; other names are added on first use.
class FontTable {
public:
    // Longest name kept in the table (the entry's size is one byte).
    static constexpr size_t kMaxNameLength = 64;
    // Most fonts the table takes; further names use Times New Roman.
    static constexpr size_t kMaxFonts = 0x7FFF;
    static constexpr uint16_t kTimesNewRoman = 2;

    FontTable();
    // The index of the font of that name (exact comparison), added when new.
    uint16_t indexOf(const std::u16string &name);
    size_t count() const { return fonts_.size(); }
    const std::u16string &name(size_t index) const { return fonts_[index].name; }
    std::vector<uint8_t> serialise() const;

private:
    struct Font {
        std::u16string name;
        uint8_t pitchAndFamily;
        uint8_t charset;
    };
    std::vector<Font> fonts_;
    std::unordered_map<std::u16string, uint16_t> index_;
};

// Field characters of the main text with their field descriptors.
class FieldTable {
public:
    static constexpr uint8_t kBegin = 19, kSeparator = 20, kEnd = 21;
    static constexpr uint8_t kHyperlinkType = 88;

    void begin(uint32_t cp, uint8_t type) { entries_.push_back({cp, kBegin, type}); }
    void separator(uint32_t cp) { entries_.push_back({cp, kSeparator, 0}); }
    // flags: has a separator (0x80), nested in another field's result (0x40).
    void end(uint32_t cp, uint8_t flags) { entries_.push_back({cp, kEnd, flags}); }
    bool empty() const { return entries_.empty(); }
    std::vector<uint8_t> serialise(uint32_t endCp) const;

private:
    struct Entry {
        uint32_t cp;
        uint8_t ch, value;
    };
    std::vector<Entry> entries_;
};

// Bookmark names, starts and ends.
class BookmarkTable {
public:
    static constexpr size_t kMaxBookmarks = 0xFFFF;

    // Starts a bookmark; false when the table is full (it is then ignored).
    bool start(uint32_t id, const std::u16string &name, uint32_t cp);
    // Ends the open bookmark with that id; false when there is none.
    bool end(uint32_t id, uint32_t cp);
    // Ends every bookmark still open at cp.
    void endAll(uint32_t cp);
    bool empty() const { return names_.empty(); }
    std::vector<uint8_t> serialiseNames() const;
    std::vector<uint8_t> serialiseStarts(uint32_t endCp) const;
    std::vector<uint8_t> serialiseEnds(uint32_t endCp) const;

private:
    std::vector<std::u16string> names_;
    std::vector<uint32_t> startCps_;
    std::vector<uint16_t> endIndex_;  // per bookmark: its entry among the ends
    std::vector<uint32_t> endCps_;
    std::unordered_map<uint32_t, size_t> open_;  // id -> bookmark
};

// List definitions (nine levels each), one override per list, and names.
class ListTable {
public:
    static constexpr size_t kMaxLists = 0x7FFF;

    // Adds a list; the bullet fonts of its levels go into fonts. False when
    // the table is full.
    bool add(const DocsListDefinition &list, FontTable &fonts);
    // 1-based override index of the first list with that id; 0 when none.
    uint16_t overrideOf(uint32_t listId) const;
    bool empty() const { return lists_.empty(); }
    // The list definitions; lcb receives the size without the levels that
    // follow them (the levels are not counted in the FIB).
    std::vector<uint8_t> serialiseLists(uint32_t &lcb) const;
    std::vector<uint8_t> serialiseOverrides() const;
    std::vector<uint8_t> serialiseNames() const;

    // One level as stored after the definitions (for tests).
    static std::vector<uint8_t> encodeLevel(const DocsListDefinition &list, int level, FontTable &fonts);

private:
    struct List {
        uint32_t id;
        std::vector<uint8_t> levels;  // the nine encoded levels
    };
    std::vector<List> lists_;
    std::unordered_map<uint32_t, uint16_t> firstById_;
};

// The style sheet: "Normal" (0) and "Default Paragraph Font" (10), the
// fixed default, plus a plain paragraph style (based on "Normal", with no
// properties of its own) for every other style index paragraphs name, so
// that no paragraph names a style the file does not define. Slots 1 to 9
// are the built-in headings.
class StyleSheet {
public:
    // Highest index a paragraph keeps; others fall back to "Normal".
    static constexpr uint16_t kMaxIndex = 0x0FFE;

    // The index to write for a paragraph's style index (defined on use).
    uint16_t use(uint16_t index);
    std::vector<uint8_t> serialise() const;

private:
    std::vector<bool> used_;
};

// Title, subject, comments and author as the associated strings.
std::vector<uint8_t> serialiseAssociatedStrings(const DocsDocInfo &info);
// The one revision author "Unknown".
std::vector<uint8_t> serialiseRevisionAuthors();
// The default style sheet: "Normal" (0) and "Default Paragraph Font" (10).
std::vector<uint8_t> defaultStyleSheet();
// The 500 bytes of document properties.
std::vector<uint8_t> defaultDocumentProperties();
// The 36 bytes of window state.
std::vector<uint8_t> defaultWindowState();

// The FIB as written at the start of "WordDocument".
struct WordFibWriter {
    static constexpr size_t kPairCount = 93;
    static constexpr size_t kSize = 900;  // base, three arrays and their counts
    static constexpr uint32_t kFcMin = 1024;

    struct Pair {
        uint32_t fc = 0, lcb = 0;
    };
    std::array<Pair, kPairCount> pairs{};
    uint32_t fcMac = 0;
    uint32_t cbMac = 0;
    uint32_t ccpText = 0;

    std::vector<uint8_t> serialise() const;
};

}  // namespace conv
