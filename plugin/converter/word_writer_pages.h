// The page writers of the Word writer. "WordDocument" is filled in 512-byte
// pages: pages 0 and 1 hold the FIB, page 2 stays empty, and every page from
// 3 on belongs to one writer, which takes the next free page number when its
// page is full. The text writer keeps the characters (UTF-16LE) and starts a
// new piece on every new page; the disk page writers keep the character and
// paragraph properties of runs (CHPX and PAPX pages) and record each page in
// their bin table; the section writer keeps the SEPX groups; the list-value
// writer holds the one run of the list-value bin table.
#pragma once

#include "compound_stream.h"
#include "word_writer_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace conv {

// Hands out page numbers and writes pages at page number × 512; writing
// beyond the stream's end first fills the gap with zero bytes.
class WordPageStore {
public:
    static constexpr size_t kPageSize = 512;
    static constexpr uint32_t kFirstPage = 3;

    explicit WordPageStore(DocumentStream &stream) : stream_(stream) {}
    uint32_t takePage() { return next_++; }
    bool write(uint32_t page, const uint8_t *bytes);
    DocumentStream &stream() { return stream_; }

private:
    DocumentStream &stream_;
    uint32_t next_ = kFirstPage;
};

// Where each piece of text lies: a piece starts at a character position and
// a file position; the text is never assumed contiguous in the stream.
class PieceTable {
public:
    void add(uint32_t cp, uint32_t fc) { pieces_.push_back({cp, fc}); }
    void setEnd(uint32_t cp) { end_ = cp; }
    size_t count() const { return pieces_.size(); }
    // The complex part (CLX): one piece descriptor table.
    std::vector<uint8_t> serialise() const;

private:
    struct Piece {
        uint32_t cp, fc;
    };
    std::vector<Piece> pieces_;
    uint32_t end_ = 0;
};

// A bin table: the first file position of every disk page and its number.
class BinTable {
public:
    void add(uint32_t firstFc, uint32_t page) { entries_.push_back({firstFc, page}); }
    void setEnd(uint32_t fc) { end_ = fc; }
    size_t count() const { return entries_.size(); }
    std::vector<uint8_t> serialise() const;

private:
    struct Entry {
        uint32_t fc, page;
    };
    std::vector<Entry> entries_;
    uint32_t end_ = 0;
};

class TextPageWriter {
public:
    TextPageWriter(WordPageStore &store, PieceTable &pieces);
    // Puts the character at position cp; false when a page could not be written.
    bool put(char16_t c, uint32_t cp);
    // Replaces the last character written (it is always still in the page).
    void replaceLast(char16_t c);
    // File position after the last character.
    uint32_t endFc() const { return uint32_t(page_ * WordPageStore::kPageSize + used_); }
    bool flush();

private:
    WordPageStore &store_;
    PieceTable &pieces_;
    uint32_t page_;
    size_t used_ = 0;
    std::array<uint8_t, WordPageStore::kPageSize> bytes_{};
};

// A formatted disk page writer: CHPX pages (one offset byte per run) or
// PAPX pages (an offset byte and 12 bytes of height cache per paragraph).
// Runs must follow one another without gaps in file positions.
class FkpWriter {
public:
    enum Kind { kCharacterRuns, kParagraphRuns };

    FkpWriter(WordPageStore &store, BinTable &bins, Kind kind);
    // Adds the run [fcStart, fcEnd) with its property group as it is stored
    // in a page (a CHPX or a PAPX; empty for a run without properties).
    // kWriterTooComplex when the group does not fit even an empty page.
    int add(uint32_t fcStart, uint32_t fcEnd, const std::vector<uint8_t> &property);
    bool flush();
    size_t runsInPage() const { return fcs_.empty() ? 0 : fcs_.size() - 1; }

private:
    // Whether the run fits this page; offset receives where its group goes
    // (shared with an equal group already in the page when there is one).
    bool fits(const std::vector<uint8_t> &property, int &offset, bool &isNew) const;
    void place(uint32_t fcStart, uint32_t fcEnd, const std::vector<uint8_t> &property, int offset, bool isNew);
    bool startNewPage();

    WordPageStore &store_;
    BinTable &bins_;
    Kind kind_;
    uint32_t page_;
    std::vector<uint32_t> fcs_;                // run limits in this page
    std::vector<uint8_t> offsets_;             // word offset of each run's group, 0 for none
    std::vector<std::vector<uint8_t>> groups_; // groups placed in this page, for sharing
    std::vector<uint8_t> groupOffsets_;
    size_t groupStart_ = WordPageStore::kPageSize - 1;  // lowest byte used by groups
    std::array<uint8_t, WordPageStore::kPageSize> bytes_{};
};

// A CHPX as stored in a page: its size byte and the sprms (nothing for no
// sprms). False when the sprms are too many for the size byte.
bool encodeChpx(const SprmList &sprms, std::vector<uint8_t> &out);
// A PAPX as stored in a page: the size byte(s), the style index and the
// sprms. False when they are too many for the size byte.
bool encodePapx(uint16_t istd, const SprmList &sprms, std::vector<uint8_t> &out);

// SEPX groups (u16 size and sprms), packed into pages.
class SepxPageWriter {
public:
    SepxPageWriter(WordPageStore &store);
    // Stores the group; fc receives its file position.
    int add(const SprmList &sprms, uint32_t &fc);
    bool flush();

private:
    WordPageStore &store_;
    uint32_t page_;
    size_t used_ = 0;
    std::array<uint8_t, WordPageStore::kPageSize> bytes_{};
};

// The list-value page: a single run over the whole text.
class LvcPageWriter {
public:
    LvcPageWriter(WordPageStore &store) : store_(store), page_(store.takePage()) {}
    uint32_t page() const { return page_; }
    bool write(uint32_t fcStart, uint32_t fcEnd);

private:
    WordPageStore &store_;
    uint32_t page_;
};

}  // namespace conv
