#include "hotsync_log.h"

#include "connection.h"
#include "faults.h"
#include "handheld.h"
#include "home.h"
#include "ini_store.h"
#include "user_manager.h"

#include <ctime>
#include <fstream>
#include <sstream>

namespace palm::hslog {

namespace fs = std::filesystem;

fs::path logFileOfFolder(const fs::path &userFolder) { return userFolder / "HotSync.log"; }

fs::path currentLogFile() {
    if (auto name = currentHandheldName()) {
        std::string error;
        if (auto h = Handheld::open(*name, error); h && !h->userName().empty()) {
            uint32_t id = 0;
            fs::path folder;
            if (users::idFromName(h->userName(), id) == 0 && users::userFolder(id, folder) == 0)
                return logFileOfFolder(folder);
        }
    }
    return logFileOfFolder(platform::hotSyncRoot());
}

int32_t addEntry(const std::string &text, int32_t activity, int32_t) {
    if (int32_t f = checkFault("log.addEntry")) return f;
    const fs::path file = currentLogFile();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::string line = std::string(stamp) + "\t" + std::to_string(activity) + "\t";
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') continue;
        if (c == '\n') line += "\n\t";
        else line += c;
    }
    line += '\n';
    StoreLock lock(file);
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << line;
    return out ? 0 : -1;
}

std::vector<Entry> readLog(const fs::path &file, uint64_t from) {
    std::vector<Entry> entries;
    std::ifstream in(file, std::ios::binary);
    if (!in) return entries;
    in.seekg(std::streamoff(from));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.front() == '\t') {
            if (!entries.empty()) entries.back().text += "\n" + line.substr(1);
            continue;
        }
        const size_t a = line.find('\t');
        const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        if (b == std::string::npos) continue;   // not an entry line
        Entry e;
        e.time = line.substr(0, a);
        e.activity = int32_t(parseInteger(line.substr(a + 1, b - a - 1)).value_or(0));
        e.text = line.substr(b + 1);
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace palm::hslog
