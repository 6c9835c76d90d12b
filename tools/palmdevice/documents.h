// What the handheld application does with the suite's documents and file
// lists: lists the records, creates a document with its file-list record,
// replaces a document's bytes and raises its stamp, marks a file deleted and
// sets a record's flags. A location is "ram" or "card:<slot>:<folder>".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace palmdevice {

struct Location {
    bool ram = true;
    uint16_t slot = 0;
    std::string folder;   // card folder, "/Documents"
};

std::optional<Location> parseLocation(const std::string &text);

// How a document's bytes are held in a RAM database.
enum class Container { Auto, Stream, Docs, Slides, Pdb };
std::optional<Container> parseContainer(const std::string &text);

struct DocumentOptions {
    std::string listName = "PapyrineSync.dat";
    std::string pathsFile = "/PapyrineSyncMain.dat";
    Container container = Container::Auto;
    std::optional<uint32_t> type;
    std::optional<uint32_t> creator;
    uint8_t category = 0;
    uint8_t syncMode = 1;
    bool removeFile = false;        // doc-delete: delete the document too
    bool attributeDeleted = false;  // doc-delete: set the Palm record attribute instead of the byte
};

// Each prints its result; answers the exit status (errors on stderr).
int listDocuments(const Location &where, const DocumentOptions &o);
int newDocument(const Location &where, const std::string &name, const std::string &file, const DocumentOptions &o);
int editDocument(const Location &where, const std::string &name, const std::string &file, const DocumentOptions &o);
int getDocument(const Location &where, const std::string &name, const std::string &file, const DocumentOptions &o);
int deleteDocument(const Location &where, const std::string &name, const DocumentOptions &o);
int setDocumentFlags(const Location &where, const std::string &name, uint8_t flags, const DocumentOptions &o);

}  // namespace palmdevice
