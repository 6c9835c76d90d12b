// The tables of a Word 97 document that the reader loads from the table
// stream: style sheet, piece table, fonts, fields, bookmarks, associated
// strings, shape anchors, lists and list overrides. Each parses a byte
// range and refuses one whose declared counts and sizes run past it.
#pragma once

#include "word_format.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace conv {

// One style of the style sheet with its own (not inherited) sprms.
struct WordStyle {
    static constexpr uint16_t kNoBase = 0xFFF;
    enum Kind : uint8_t { kParagraph = 1, kCharacter = 2, kTable = 3, kNumbering = 4 };

    bool present = false;
    uint8_t kind = kParagraph;
    uint16_t base = kNoBase;
    std::vector<uint8_t> paragraphSprms;
    std::vector<uint8_t> characterSprms;
};

class WordStyleSheet {
public:
    bool parse(ByteView bytes);
    size_t count() const { return styles_.size(); }
    const WordStyle *style(uint16_t istd) const {
        return istd < styles_.size() && styles_[istd].present ? &styles_[istd] : nullptr;
    }
    // The style and its based-on ancestors, the root first. Empty when the
    // style itself is missing; a chain that loops or names a missing base
    // stops there.
    std::vector<const WordStyle *> chain(uint16_t istd) const;

private:
    std::vector<WordStyle> styles_;
};

// A run of text with its place in the file.
struct WordPiece {
    uint32_t cpStart = 0;
    uint32_t cpEnd = 0;
    uint32_t fcStart = 0;     // byte offset of the first character in "WordDocument"
    bool compressed = false;  // 8-bit Windows-1252 text, else UTF-16LE
    uint16_t prm = 0;

    uint32_t charSize() const { return compressed ? 1 : 2; }
    uint32_t fcOf(uint32_t cp) const { return fcStart + (cp - cpStart) * charSize(); }
    uint64_t fcEnd() const { return uint64_t(fcStart) + uint64_t(cpEnd - cpStart) * charSize(); }
};

class WordPieceTable {
public:
    bool parse(ByteView clx);
    const std::vector<WordPiece> &pieces() const { return pieces_; }
    // The sprms a piece's modifier names (none for a plain modifier).
    ByteView pieceSprms(const WordPiece &piece) const;
    // Index of the piece holding cp, or pieces().size().
    size_t find(uint32_t cp) const;

private:
    std::vector<std::vector<uint8_t>> groups_;
    std::vector<WordPiece> pieces_;
};

// Font names by index.
bool parseFontTable(ByteView bytes, std::vector<std::u16string> &names);

// Field marks of the main text: the field type of every field begin by position.
class WordFieldTable {
public:
    bool parse(std::vector<uint8_t> bytes) { return plex_.parse(std::move(bytes), 2); }
    // Type of the field that begins at cp, 0 when no begin mark is listed there.
    uint8_t typeAt(uint32_t cp) const;

private:
    Plcf plex_;
};

// Bookmarks: names, start positions with the index of their end, end positions.
struct WordBookmarks {
    std::vector<std::u16string> names;
    Plcf starts;  // 4-byte elements: index of the end (u16), flags (u16)
    Plcf ends;    // no elements

    bool parse(ByteView names, std::vector<uint8_t> starts, std::vector<uint8_t> ends);
    size_t count() const { return starts.count(); }
    uint32_t startOf(size_t i) const { return starts.position(i); }
    // Index into ends of bookmark i; ends.count() when it has none.
    size_t endIndexOf(size_t i) const;
};

// One level of a list, with what the Docs list record needs.
struct WordListLevel {
    int32_t startAt = 1;
    uint8_t numberFormat = 0;
    std::u16string text;  // number text; characters below 10 are level placeholders
};

// Parses one level (LVL) at offset; returns its size in bytes, 0 when it does not fit.
size_t parseListLevel(ByteView bytes, size_t offset, WordListLevel &level);

struct WordList {
    int32_t id = 0;
    bool simple = false;
    std::vector<WordListLevel> levels;  // 1 for a simple list, else 9
};

struct WordListOverrideLevel {
    uint8_t level = 0;
    bool hasStart = false;
    int32_t startAt = 0;
    std::optional<WordListLevel> format;
};

struct WordListOverride {
    int32_t listId = 0;
    std::vector<WordListOverrideLevel> levels;
};

struct WordLists {
    std::vector<WordList> lists;
    std::vector<WordListOverride> overrides;

    // The list definitions at fc (lcb bytes) and the levels that follow them.
    bool parseLists(WordSource &table, uint64_t fc, uint32_t lcb);
    bool parseOverrides(ByteView bytes);
    const WordList *list(int32_t id) const;
};

// The main-text shape anchors: shape id and its rectangle (twips) by position.
struct WordShapeAnchor {
    uint32_t shapeId = 0;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};
class WordShapeAnchors {
public:
    bool parse(std::vector<uint8_t> bytes) { return plex_.parse(std::move(bytes), 26); }
    std::optional<WordShapeAnchor> at(uint32_t cp) const;

private:
    Plcf plex_;
};

}  // namespace conv
