#include "docs_test_support.h"

#include <gtest/gtest.h>

using namespace conv;
using docstest::build;
using docstest::readAllEvents;
using docstest::RecordingSink;
using Bytes = std::vector<uint8_t>;
using Events = std::vector<std::string>;

namespace {

void paragraph(DocsStream &s, const std::u16string &text) {
    s.writeParagraph(DocsParagraph());
    s.writeText(text);
    s.writeParagraphEnd();
}

// A document with one of everything; the events it gives are below.
Bytes fullDocument() {
    return build([](DocsStream &s) {
        s.writeHeader();
        DocsPageSetup setup;
        setup.setValue(DocsPageSetup::kPageWidth, 612);
        s.writePageSetup(setup);
        DocsDocInfo info;
        info.setString(DocsDocInfo::kTitle, u"Title");
        s.writeDocInfo(info);
        DocsListDefinition list;
        list.listId = 4;
        s.writeListDefinition(list);
        DocsSection section;
        section.pageWidth = 612;
        section.breakCode = 2;
        s.writeSection(section);

        DocsParagraph p;
        p.alignment = 2;
        s.writeParagraph(p);
        s.writeListReference(DocsListReference{4, 0});
        DocsCharFormatWriter formats;
        DocsCharFormat bold;
        bold.formatFlags = DocsCharFormat::kBold;
        formats.writeRun(s, bold);
        s.writeText(u"Hello ");
        DocsFieldStart link;
        link.kind = DocsFieldStart::kHyperlink;
        link.id = 1;
        link.text = u"http://a";
        s.writeFieldStart(link);
        s.writeText(u"link");
        s.writeFieldEnd(DocsFieldEnd{1});
        s.writeLineBreak();
        DocsPicture picture;
        picture.dataSize = 3;
        s.writePicture(picture);
        s.writeBytes("\0\0\0", 3);  // data that would read as a record
        s.writeSpecialChar(DocsSpecialChar{DocsSpecialChar::kFixedSpace, 0xA0, 1});
        s.writeParagraphEnd();
        s.writePageBreak();

        s.writeTable(DocsTable{1, 2, 0});
        for (uint16_t row = 0; row < 2; ++row) {
            s.writeRow(DocsRow{row, 2, 0});
            s.writeCell(DocsCell{1, 100, 0});
            paragraph(s, u"c1");
            s.writeCell(DocsCell{2, 100, 0});
            if (row == 1) {
                s.writeTable(DocsTable{2, 1, 0});
                s.writeRow(DocsRow{0, 1, 0});
                s.writeCell(DocsCell{1, 50, 0});
                paragraph(s, u"inner");
                s.writeTableEnd();
            } else {
                paragraph(s, u"c2");
            }
        }
        s.writeTableEnd();
        s.writeColumnBreak();
        s.writeSectionEnd();
        s.writeEndOfDocument();
    });
}

const Events kFullEvents = {
    "header 16", "pageSetup 612", "docInfo Title", "list 4", "section 612",
    "para 2@", "listRef 4 0", "format 1 12 Times New Roman", "text Hello ", "field 1 http://a", "text link",
    "fieldEnd 1", "lineBreak", "picture 3", "other 39@", "paraEnd", "pageBreak",
    "table 1", "row 0", "cell 1", "para 0@", "text c1", "paraEnd", "cellEnd",
    "cell 2", "para 0@", "text c2", "paraEnd", "cellEnd", "rowEnd",
    "row 1", "cell 1", "para 0@", "text c1", "paraEnd", "cellEnd",
    "cell 2", "table 2", "row 0", "cell 1", "para 0@", "text inner", "paraEnd", "cellEnd", "rowEnd", "tableEnd",
    "cellEnd", "rowEnd", "tableEnd", "columnBreak", "sectionEnd", "endOfDocument",
};

// The events without the offsets after '@', which depend on the layout.
Events withoutOffsets(Events events) {
    for (auto &e : events) {
        size_t at = e.find('@');
        if (at != std::string::npos) e.erase(at + 1);
    }
    return events;
}

Bytes withHeader(const Bytes &body) {
    Bytes b = build([](DocsStream &s) { s.writeHeader(); });
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

class NothingSink : public ContentSink {};

}  // namespace

TEST(DocsReader, FullDocumentGivesItsEventsInDocumentOrder) {
    RecordingSink sink;
    EXPECT_EQ(readAllEvents(fullDocument(), sink), 0);
    EXPECT_EQ(withoutOffsets(sink.events), kFullEvents);
}

TEST(DocsReader, TextStopsAtTheNextRecordAndLongTextComesInChunks) {
    RecordingSink sink;
    EXPECT_EQ(readAllEvents(withHeader({0, 13, 1, 0, 14, 2, 3, 'a', 'b', 0, 9, 0, 8}), sink), 0);
    EXPECT_EQ(sink.events, (Events{"header 16", "section 596", "para 0@19", "text ab", "paraEnd", "sectionEnd",
                                   "endOfDocument"}));

    Bytes longText = build([](DocsStream &s) {
        s.writeHeader();
        s.writeSection(DocsSection());
        paragraph(s, std::u16string(2500, u'x'));
        s.writeSectionEnd();
    });
    RecordingSink chunks;
    EXPECT_EQ(readAllEvents(longText, chunks), 0);
    ASSERT_EQ(chunks.events.size(), 9u);
    EXPECT_EQ(chunks.events[3].size(), 5 + 1024u);
    EXPECT_EQ(chunks.events[5].size(), 5 + 452u);
}

TEST(DocsReader, CharacterFormatStartsFromTheDefaultsInEveryParagraph) {
    // Record 5 with L = 2 changes only the flags; the next paragraph starts over.
    Bytes body = {0, 13, 1, 0, 14, 2, 3, 0, 5, 5, 3, 20, 'A', 'r', 0, 5, 2, 2, 'x', 0, 9,
                  0, 14, 2, 3, 0, 5, 2, 1, 0, 9, 0, 8};
    RecordingSink sink;
    EXPECT_EQ(readAllEvents(withHeader(body), sink), 0);
    EXPECT_EQ(withoutOffsets(sink.events),
              (Events{"header 16", "section 596", "para 0@", "format 3 20 Ar", "format 2 20 Ar", "text x", "paraEnd",
                      "para 0@", "format 1 12 Times New Roman", "paraEnd", "sectionEnd", "endOfDocument"}));
}

TEST(DocsReader, UnexpectedRecordsGoToTheSinkAndAreSkippedWithTheirContinuations) {
    Bytes body = {'s', 't', 0, 40, 2, 1, 0, 28, 1, 0, 13, 1, 0, 14, 2, 3, 0, 40, 1, 0, 28, 2, 0, 'y', 0, 9, 0, 8};
    RecordingSink sink;
    EXPECT_EQ(readAllEvents(withHeader(body), sink), 0);
    EXPECT_EQ(sink.events, (Events{"header 16", "other 0@16", "other 40@18", "section 596", "para 0@28",
                                   "other 40@32", "text y", "paraEnd", "sectionEnd", "endOfDocument"}));
}

TEST(DocsReader, StreamWithoutMagicIsReadAsRecordsFromTheStart) {
    RecordingSink sink;
    EXPECT_EQ(readAllEvents(Bytes{'M', 'W', 0, 13, 1, 0, 8}, sink), 0);
    EXPECT_EQ(sink.events, (Events{"header 16", "other 0@0", "section 596", "sectionEnd", "endOfDocument"}));
}

TEST(DocsReader, ContentStartsAtTheHeaderLength) {
    DocsHeader h;
    h.hasProtectionBlock = true;
    h.protectionBlock = {0, 13, 1, 0};  // would read as a section if the reader did not step over it
    Bytes protectedDoc = build([&](DocsStream &s) {
        s.writeHeader(h);
        s.writeEndOfDocument();
    });
    RecordingSink sink;
    EXPECT_EQ(readAllEvents(protectedDoc, sink), 0);
    EXPECT_EQ(sink.events, (Events{"header 22", "endOfDocument"}));

    Bytes shortLength = build([](DocsStream &s) { s.writeHeader(); });
    shortLength[5] = 4;  // a length inside the fixed header: content still starts after it
    shortLength.insert(shortLength.end(), {0, 13, 1, 0, 8});
    RecordingSink sink2;
    EXPECT_EQ(readAllEvents(shortLength, sink2), 0);
    EXPECT_EQ(sink2.events, (Events{"header 4", "section 596", "sectionEnd", "endOfDocument"}));
}

TEST(DocsReader, AValueFromTheSinkEndsTheRunAndBecomesItsResult) {
    for (const char *stop : {"header", "text c2", "cellEnd", "tableEnd", "other", "endOfDocument"}) {
        RecordingSink sink;
        sink.stopAt = stop;
        EXPECT_EQ(readAllEvents(fullDocument(), sink), 7) << stop;
        EXPECT_EQ(sink.events.back().rfind(stop, 0), 0u) << stop;
    }
}

TEST(DocsReader, SinkMayReadAnUnexpectedRecordAndPictureData) {
    struct ReadingSink : RecordingSink {
        int32_t otherRecord(uint16_t type, int64_t offset) override {
            DocsSpecialChar c;
            if (type == kDocsSpecialChar && reader->stream().readSpecialChar(c) == kDocsOk)
                events.push_back("special " + std::to_string(c.character));
            return RecordingSink::otherRecord(type, offset);
        }
        int32_t picture(const DocsPicture &p, int64_t offset) override {
            uint8_t byte;
            reader->stream().readU8(byte);  // reads part of the data only
            return RecordingSink::picture(p, offset);
        }
    } sink;
    EXPECT_EQ(readAllEvents(fullDocument(), sink), 0);
    Events want = kFullEvents;
    want.insert(want.begin() + 14, "special 160");
    EXPECT_EQ(withoutOffsets(sink.events), want);
}

TEST(DocsReader, RecordsThatFailToRead) {
    struct Case {
        const char *what;
        Bytes body;
        int32_t result;
        Events tail;  // the last events
    } cases[] = {
        {"page setup with no such sub-id: skipped without a call", {0, 15, 2, 12, 0, 13, 1, 0, 8}, 0,
         {"section 596", "sectionEnd", "endOfDocument"}},
        {"document information with no such sub-id: skipped", {0, 20, 3, 7, 0}, 0, {"header 16", "endOfDocument"}},
        {"section with no such sub-id: skipped", {0, 13, 1, 0, 13, 2, 27, 0, 8}, 0,
         {"section 596", "sectionEnd", "endOfDocument"}},
        {"character format with a wrong length: skipped", {0, 13, 1, 0, 14, 2, 3, 0, 2, 2, 1, 0, 9, 0, 8}, 0,
         {"para 0@19", "paraEnd", "sectionEnd", "endOfDocument"}},
        {"list definition of the wrong length ends the run", {0, 37, 2, 0, 0, 13, 1}, 2, {"header 16"}},
        {"list reference of the wrong length", {0, 13, 1, 0, 14, 2, 3, 0, 38, 2, 0, 0, 9}, 2, {"para 0@19"}},
        {"field start too short", {0, 13, 1, 0, 14, 2, 3, 0, 6, 0, 3, 0, 0, 9}, 2, {"para 0@19"}},
        {"field end inside a table", {0, 13, 1, 0, 23, 1, 0, 34, 1, 0, 32, 1}, 2, {"table 255"}},
        {"row cut short", {0, 13, 1, 0, 23, 1, 0, 30, 4, 0}, 2, {"table 255"}},
        {"invalid byte in text", {0, 13, 1, 0, 14, 2, 3, 'a', 0xFF, 0, 9}, 2, {"text a"}},
        {"picture data past the end", {0, 13, 1, 0, 14, 2, 3, 0, 22, 7, 8, 1, 0, 0, 0, 5, 0}, 2, {"para 0@19"}},
    };
    for (const Case &c : cases) {
        RecordingSink sink;
        EXPECT_EQ(readAllEvents(withHeader(c.body), sink), c.result) << c.what;
        ASSERT_GE(sink.events.size(), c.tail.size()) << c.what;
        EXPECT_EQ(Events(sink.events.end() - long(c.tail.size()), sink.events.end()), c.tail) << c.what;
    }
}

TEST(DocsReader, EndOfFileInsideASectionParagraphTableRowOrCellEndsWith2) {
    const std::pair<const char *, Bytes> cases[] = {
        {"section", {0, 13, 1}},
        {"paragraph", {0, 13, 1, 0, 14, 2, 3, 'a'}},
        {"table", {0, 13, 1, 0, 23, 1}},
        {"row", {0, 13, 1, 0, 23, 1, 0, 30, 1}},
        {"cell", {0, 13, 1, 0, 23, 1, 0, 30, 1, 0, 31, 1}},
        {"paragraph in a cell, a lone 0 byte at the end", {0, 13, 1, 0, 23, 1, 0, 30, 1, 0, 31, 1, 0, 14, 1, 0}},
    };
    for (const auto &[where, body] : cases) {
        Bytes file = withHeader(body);
        RecordingSink sink;
        EXPECT_EQ(readAllEvents(file, sink), 2) << where;
        EXPECT_EQ(sink.events.back(), "other 27@" + std::to_string(file.size() - (body.back() == 0 ? 1 : 0)))
            << where;
        NothingSink nothing;
        MemoryStream m(file);
        EXPECT_EQ(DocsReader().run(m, nothing), 2) << where << ": a sink that ignores everything";
    }
    RecordingSink atDocumentLevel;
    EXPECT_EQ(readAllEvents(withHeader({0, 13, 1, 0, 8}), atDocumentLevel), 0);
    EXPECT_EQ(atDocumentLevel.events.back(), "endOfDocument");
}

TEST(DocsReader, EveryTruncationAndDamagedByteEndsWithoutHanging) {
    const Bytes full = fullDocument();
    for (size_t n = 0; n <= full.size(); ++n) {
        NothingSink sink;
        MemoryStream m(full.data(), n);
        int32_t rc = DocsReader().run(m, sink);
        EXPECT_TRUE(rc == 0 || rc == 2) << n;
    }
    for (size_t i = 16; i < full.size(); ++i) {
        for (uint8_t v : {0x00, 0x01, 0x06, 0x16, 0x17, 0x1C, 0x1E, 0x80, 0xFF}) {
            Bytes damaged = full;
            damaged[i] = v;
            NothingSink sink;
            MemoryStream m(damaged);
            int32_t rc = DocsReader().run(m, sink);
            EXPECT_TRUE(rc == 0 || rc == 2) << i << " " << int(v);
        }
    }
}

TEST(DocsReader, TableNestingIsBounded) {
    auto nested = [](int depth, bool closed) {
        return build([&](DocsStream &s) {
            s.writeHeader();
            s.writeSection(DocsSection());
            for (int i = 0; i < depth; ++i) {
                s.writeTable(DocsTable());
                s.writeRow(DocsRow());
                s.writeCell(DocsCell());
            }
            if (closed) {
                paragraph(s, u"deep");
                for (int i = 0; i < depth; ++i) s.writeTableEnd();
                s.writeSectionEnd();
            }
        });
    };
    RecordingSink ok;
    EXPECT_EQ(readAllEvents(nested(DocsReader::kMaxTableDepth, true), ok), 0);
    EXPECT_EQ(ok.events.back(), "endOfDocument");
    NothingSink sink;
    MemoryStream tooDeep(nested(DocsReader::kMaxTableDepth + 1, true));
    EXPECT_EQ(DocsReader().run(tooDeep, sink), 2);
    MemoryStream hostile(nested(200000, false));
    EXPECT_EQ(DocsReader().run(hostile, sink), 2);
}
