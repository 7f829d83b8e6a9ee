#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ports/FileTypes.h"

// What the open command may open. Any program can put text on the clipboard, so opening must
// never amount to launching a program: only documents that people open to read or edit are
// opened, and only when every reading of their type says so.
namespace OpenPolicy {

// The link in a text file's content: from the first "http" to the end, without the zero bytes
// a sender adds to fill the last block, nor trailing line breaks.
std::optional<std::string> linkInText(std::string_view text);

// Whether the text is an http or https URL with a host and nothing that a shell or the desktop
// could read as more than one argument.
bool isWebLink(std::string_view link);

// Why a file of that type is not opened (naming the type), or nothing when its name, its
// content and both together each make it a document: PDF, a picture, plain text, CSV, RTF or an
// office document. Content that tells only the container of the name's type (the zip archive of
// a .docx, the OLE2 storage of a .doc, the XML of a .fodt) agrees with the name; empty content
// says nothing.
std::optional<std::string> refusal(const FileType& type);

// Why the file must not be opened, or nothing: its type as above; whatever its type, a file that
// starts with "#!", or a local file marked executable, is a program. Files on a Windows share
// carry no execute bits of their own (GVfs shows every one as executable), so there the mode
// bits do not count.
std::optional<std::string> refusal(const std::string& path, FileTypes& types,
                                   bool modeBitsCount = true);

}  // namespace OpenPolicy
