// Text rules of the desktop program's data layer: comparing names without
// regard to case, cutting UTF-8 text at a character boundary, and the file
// name parts (name, extension) the handheld names are built from.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace desktop {

// Equal without regard to the case of ASCII letters; other bytes must match.
bool sameText(std::string_view a, std::string_view b);
std::string lowerAscii(std::string_view text);

// The first bytes of text, at most maxBytes, never ending inside a UTF-8
// sequence.
std::string cutText(std::string_view text, std::size_t maxBytes);

// The last path component ("/" separated).
std::string fileNameOf(std::string_view path);
// The extension with its dot, taken from the last "." of the name part; ""
// when there is none.
std::string extensionOf(std::string_view name);
// The name with its extension replaced by ext (which carries its dot, or is
// empty to remove the extension); a name without extension gets ext added.
std::string replaceExtension(std::string_view name, std::string_view ext);

}  // namespace desktop
