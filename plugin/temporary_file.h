// A temporary file for one step of a conversion: a new, empty, uniquely
// named file in the temporary folder, deleted when the request is done with
// it, whether the request succeeded or failed.
#pragma once

#include "qvdp_types.h"

#include <string>

namespace qvplugin {

class TemporaryFile {
public:
    // A name that cannot be had fills kind 3, code 16 with the system error.
    explicit TemporaryFile(QVDP_Error *error);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string &path() const { return path_; }
    const char *c_str() const { return path_.c_str(); }

    // Deletes the file now and keeps only its name, for a converter that
    // creates its output itself.
    void removeFile();

private:
    std::string path_;
};

}  // namespace qvplugin
