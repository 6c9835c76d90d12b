#include "unique_names.h"

#include <cstdio>

namespace services {

namespace {

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The longest prefix of text of at most n bytes that does not split a
// multi-byte character.
std::string_view prefixAtCharacterBoundary(std::string_view text, std::size_t n) {
    if (n >= text.size()) return text;
    while (n > 0 && isContinuationByte(text[n])) --n;
    return text.substr(0, n);
}

}  // namespace

std::string numberedName(std::string_view base, std::string_view extension, int n, std::size_t limit) {
    char number[16];
    int numberLength = std::snprintf(number, sizeof number, "(%d)", n);
    std::size_t fixed = std::size_t(numberLength) + extension.size();
    if (fixed > limit) return {};
    std::string result(prefixAtCharacterBoundary(base, limit - fixed));
    result.append(number, std::size_t(numberLength));
    result.append(extension);
    return result;
}

UniqueResult findUniqueName(std::string_view name, std::size_t limit,
                            const std::function<NameProbe(const std::string &)> &probe, std::string &out) {
    out.clear();
    if (name.empty() || name.size() > limit) return UniqueResult::Unusable;
    std::size_t dot = name.rfind('.');
    std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
    std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot);

    std::string candidate(name);
    for (int n = 0; n <= kLastNumber; ++n) {
        if (n > 0) {
            candidate = numberedName(base, extension, n, limit);
            if (candidate.empty()) return UniqueResult::Unusable;
        }
        out = candidate;
        switch (probe(candidate)) {
        case NameProbe::Free: return UniqueResult::Found;
        case NameProbe::Failed: return UniqueResult::Failed;
        case NameProbe::Taken: break;
        }
    }
    return UniqueResult::AllTaken;
}

}  // namespace services
