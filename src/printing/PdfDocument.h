#pragma once

#include <optional>
#include <string_view>

#include "ports/PrintSystem.h"

namespace PdfDocument {

// Size of page 1's media box (width, height in points, a box inherited from the page tree
// included), or nothing when the bytes are not a PDF that qpdf can read, it has no page, or the
// first page has no usable media box. Reads only the objects on the way to page 1, so the cost
// does not grow with the page count or the size of the content.
std::optional<PageSize> firstPageSize(std::string_view bytes);

}  // namespace PdfDocument
