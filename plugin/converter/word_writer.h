// The Word writer: the conversion context of a Docs-to-Word conversion. It
// is the ContentSink that DocsReader drives, and it writes a Word 97
// document in one forward pass: the text and the formatted disk pages go
// into "WordDocument" as they fill, pictures and hyperlink objects into
// "Data", and the tables Word keeps in "1Table" are collected in memory and
// written when the document is finished. The document is self-contained:
// its own style sheet, its own font table, and no other streams.
#pragma once

#include "compound_file.h"
#include "content_sink.h"
#include "word_writer_format.h"
#include "word_writer_pages.h"
#include "word_writer_pictures.h"
#include "word_writer_tables.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace conv {

class WordWriter : public ContentSink {
public:
    // Creates "WordDocument" and "1Table" in a new storage; ready() tells
    // whether that worked. seed starts the unique ids of pictures.
    WordWriter(CompoundStorage &storage, uint32_t seed);
    ~WordWriter() override;
    bool ready() const { return document_ != nullptr && table_ != nullptr; }

    // Reads the Docs stream from its start and writes the whole document.
    // A WordWriterResult; what was written before a failure stays.
    int convert(ByteStream &source);

    int32_t begin(DocsReader &reader) override;
    int32_t docInfo(const DocsDocInfo &info, int64_t offset) override;
    int32_t sectionProps(const DocsSection &section, int64_t offset) override;
    int32_t sectionEnd() override;
    int32_t paragraphProps(const DocsParagraph &paragraph, int64_t offset) override;
    int32_t paragraphEnd() override;
    int32_t text(const char16_t *chars, size_t count) override;
    int32_t charFormat(const DocsCharFormat &format, int64_t offset) override;
    int32_t picture(const DocsPicture &picture, int64_t offset) override;
    int32_t tableStart(const DocsTable &table, int64_t offset) override;
    int32_t rowStart(const DocsRow &row, int64_t offset) override;
    int32_t rowEnd() override;
    int32_t cellStart(const DocsCell &cell, int64_t offset) override;
    int32_t cellEnd() override;
    int32_t tableEnd() override;
    int32_t listDefinition(const DocsListDefinition &list, int64_t offset) override;
    int32_t listReference(const DocsListReference &reference, int64_t offset) override;
    int32_t fieldStart(const DocsFieldStart &field, int64_t offset) override;
    int32_t fieldEnd(const DocsFieldEnd &field, int64_t offset) override;
    int32_t pageBreak() override;
    int32_t lineBreak() override;
    int32_t columnBreak() override;
    int32_t otherRecord(uint16_t type, int64_t offset) override;

private:
    // The value a sink operation returns to stop the reader; the reason is
    // kept in failure_.
    static constexpr int32_t kStop = 0x7FFF;

    struct ParagraphProps {
        uint16_t istd = 0;
        SprmList own;  // the paragraph's own sprms, without table sprms
    };
    struct TableLevel {
        uint8_t cellCount = 0;
        std::vector<int32_t> boundaries;  // twips; cellCount + 1 of them
        bool inCell = false;
    };
    struct OpenField {
        bool hyperlink = false;
        bool nested = false;            // inside another field's result
        bool separatorWritten = false;
        bool separatorWanted = false;   // a run began after the code
        SprmList separatorChpx;
    };
    // Formats kept between two characters (more are not needed).
    static constexpr size_t kMaxQueuedFormats = 64;

    int32_t fail(int result);
    int32_t check(int result) { return result == kWriterOk ? 0 : fail(result); }

    // Characters. putChar writes with the current format and the extra sprms;
    // putCharWith with a complete CHPX. A pending section mark goes first.
    int putChar(char16_t c, const SprmList &extra = SprmList());
    int putCharWith(char16_t c, const SprmList &chpx, bool prepare = true);
    // What must come before new content: the section mark, the breaks that
    // begin the paragraph, the separator of the field whose result starts.
    int prepareContent();
    void setFormat(const DocsCharFormat &format);
    SprmList withFormat(const SprmList &extra) const;
    int closeRun();
    void updateCharSprms();
    // The format as sprms; a font is added to the font table on first use.
    SprmList charSprms(const DocsCharFormat &format);

    // Paragraphs.
    // Closes the paragraph run over the text since the last one; cellMark
    // when its mark ends a cell or a row.
    int closeParagraph(const ParagraphProps &props, bool cellMark, const SprmList &extra = SprmList());
    SprmList tableSprms(size_t depth, bool cellMark) const;
    SprmList rowSprms(const TableLevel &level, size_t depth) const;
    int writeHeldMark();
    int writeSectionMark();
    // Whether the last character is a paragraph mark that can become the
    // section mark.
    bool canReuseLastMark() const;
    int writeBreaks();
    int closeInnermostField();
    int writeSeparator();
    // The field code cut into the runs the given number of formats describe.
    static std::vector<std::pair<size_t, size_t>> codeSegments(const std::u16string &code, size_t wanted);

    // Sections.
    int openSectionIfNone();
    SprmList sectionSprms(const DocsSection &section) const;

    // Data stream and pictures.
    DocumentStream *dataStream();
    int appendData(const std::vector<uint8_t> &bytes, uint32_t &offset);
    int copyPictureData(uint64_t count);
    int writeWordPicture(WordPictureKind kind, uint32_t imageSize, const DocsPicture &picture, uint32_t &offset);
    int writeHandheldBitmap(const DocsPicture &picture, uint32_t &offset);
    int pictureFromRecord(const DocsPicture &picture, uint32_t &offset, bool &written);

    int finish();
    int writeTableStream();

    CompoundStorage &storage_;
    DocumentStream *document_ = nullptr;
    DocumentStream *table_ = nullptr;
    DocumentStream *data_ = nullptr;
    DocsReader *reader_ = nullptr;
    int failure_ = kWriterOk;
    bool finishing_ = false;

    std::unique_ptr<WordPageStore> pages_;
    PieceTable pieces_;
    BinTable chpxBins_, papxBins_;
    std::unique_ptr<TextPageWriter> text_;
    std::unique_ptr<FkpWriter> chpx_;
    std::unique_ptr<FkpWriter> papx_;
    std::unique_ptr<LvcPageWriter> lvc_;
    std::unique_ptr<SepxPageWriter> sepx_;

    StyleSheet styles_;
    SectionTable sections_;
    FontTable fonts_;
    FieldTable fields_;
    BookmarkTable bookmarks_;
    ListTable lists_;
    DocsDocInfo docInfo_;
    WordFibWriter fib_;

    uint32_t cp_ = 0;
    bool lastWasParagraphMark_ = false;   // outside tables
    bool lastMarkIsSectionMark_ = false;

    // The current character format and the open character run.
    DocsCharFormat format_;
    SprmList charSprms_;
    std::vector<DocsCharFormat> formatsSinceText_;
    bool runOpen_ = false;
    bool newRunWanted_ = true;
    SprmList runChpx_;
    uint32_t runStartFc_ = 0;
    uint32_t runsEndFc_ = 0;

    // Paragraphs.
    bool paragraphOpen_ = false;
    ParagraphProps paragraph_;
    ParagraphProps lastParagraph_;
    uint32_t paragraphStartFc_ = 0;
    bool markHeld_ = false;
    ParagraphProps heldParagraph_;
    SprmList heldChpx_;
    bool pageBreakPending_ = false;   // for the next paragraph
    bool columnBreakPending_ = false;
    bool pageBreakArmed_ = false;     // for this paragraph, before its first character
    bool columnBreakArmed_ = false;

    // Sections.
    bool sectionOpen_ = false;
    bool sectionMarkPending_ = false;
    uint32_t sectionFirstCp_ = 0;
    DocsSection section_;

    std::vector<TableLevel> tables_;
    std::vector<OpenField> fieldStack_;

    uint32_t nextShapeId_ = 1025;
    BlipIdSource blipIds_;
};

// True when the Docs stream's header carries a 16-byte protection block;
// the stream is left at its start.
bool isProtectedDocs(ByteStream &source);

// Converts a Docs stream into a Word document written on an empty stream;
// a WordWriterResult. The seed starts the unique ids of pictures.
int convertDocsStreamToWord(ByteStream &source, ByteStream &destination, uint32_t seed);

}  // namespace conv
