#pragma once

#include <chrono>
#include <optional>
#include <string_view>

#include "ports/PrintSystem.h"

namespace PdfDocument {

// What qpdf makes of a document.
struct Reading {
  bool readable = false;  // a PDF that qpdf can read, damage it repairs included
  // Size of page 1's media box (width, height in points, a box inherited from the page tree
  // included); nothing when the document is unreadable, has no page, or page 1 has no usable
  // media box.
  std::optional<PageSize> firstPageSize;
  // The page count the page tree states; nothing when it states none that makes sense.
  std::optional<int> pageCount;
};

// Reads only the objects on the way to page 1, so the cost does not grow with the page count or
// the size of the content. A damaged document is repaired, within the budget, in a child
// process; one that takes longer is unreadable.
Reading read(std::string_view bytes,
             std::chrono::milliseconds repairBudget = std::chrono::seconds(5));

}  // namespace PdfDocument
