// Opening a file named on the command line for reading.
#pragma once

#include "byte_stream.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace docsconv {

// The open file, or nullptr after a message on err.
inline std::unique_ptr<conv::FileStream> openInput(const std::string &path, std::FILE *err) {
    auto file = std::make_unique<conv::FileStream>(path, conv::FileStream::kRead);
    if (file->isOpen()) return file;
    std::fprintf(err, "docsconv: cannot open %s: %s\n", path.c_str(), std::strerror(file->openError()));
    return nullptr;
}

}  // namespace docsconv
