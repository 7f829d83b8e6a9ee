#pragma once

#include <optional>
#include <string>
#include <string_view>

// What the open command may open. Any program can put text on the clipboard, so opening must
// never amount to launching a program.
namespace OpenPolicy {

// The link in a text file's content: from the first "http" to the end, without the zero bytes
// a sender adds to fill the last block, nor trailing line breaks.
std::optional<std::string> linkInText(std::string_view text);

// Whether the text is an http or https URL with a host and nothing that a shell or the desktop
// could read as more than one argument.
bool isWebLink(std::string_view link);

// Why the document must not be opened (an executable type: desktop entry, script, binary), or
// nothing when it may be opened with its application. Files on a Windows share carry no
// execute bits of their own (GVfs shows every one as executable), so there only the name and the
// content count.
std::optional<std::string> refusal(const std::string& path, bool modeBitsCount = true);

}  // namespace OpenPolicy
