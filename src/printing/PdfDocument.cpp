#define POINTERHOLDER_TRANSITION 4

#include "printing/PdfDocument.h"

#include <cmath>
#include <exception>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>
#include <vector>

namespace PdfDocument {

namespace {

std::optional<PageSize> boxSize(QPDFObjectHandle box) {
  if (!box.isArray() || box.getArrayNItems() != 4) return std::nullopt;
  double v[4];
  for (int i = 0; i < 4; ++i) {
    QPDFObjectHandle item = box.getArrayItem(i);
    if (!item.isNumber()) return std::nullopt;
    v[i] = item.getNumericValue();
  }
  const PageSize size{std::fabs(v[2] - v[0]), std::fabs(v[3] - v[1])};
  // A flat or unbounded box cannot be sent as a media size; the queue's own is better.
  if (!std::isfinite(size.width) || !std::isfinite(size.height) || size.width == 0 ||
      size.height == 0) {
    return std::nullopt;
  }
  return size;
}

// The first leaf of the page tree, depth first in /Kids order, with the media box it has or
// inherits. Empty branches are skipped; an indirect node met twice (a looping tree) is not
// entered again. qpdf's own page list is not used: it visits every page of the document.
std::optional<PageSize> firstPageOf(QPDFObjectHandle pages) {
  if (!pages.isDictionary() || !pages.getKey("/Kids").isArray()) return std::nullopt;

  struct Level {
    QPDFObjectHandle kids;
    int next;
    QPDFObjectHandle box;  // the box the nodes of this level inherit
  };
  std::set<QPDFObjGen> entered{pages.getObjGen()};
  std::vector<Level> path{{pages.getKey("/Kids"), 0, pages.getKey("/MediaBox")}};
  while (!path.empty()) {
    Level& level = path.back();
    if (level.next >= level.kids.getArrayNItems()) {
      path.pop_back();
      continue;
    }
    QPDFObjectHandle node = level.kids.getArrayItem(level.next++);
    if (!node.isDictionary()) continue;
    if (node.isIndirect() && !entered.insert(node.getObjGen()).second) continue;
    QPDFObjectHandle box = node.hasKey("/MediaBox") ? node.getKey("/MediaBox") : level.box;
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (kids.isArray()) {
      path.push_back({kids, 0, box});  // invalidates `level`, which is not used again
    } else if (!node.getKey("/Type").isNameAndEquals("/Pages")) {
      return boxSize(box);
    }
  }
  return std::nullopt;
}

}  // namespace

Reading read(std::string_view bytes) {
  QPDF pdf;
  pdf.setSuppressWarnings(true);
  try {
    // qpdf reads straight from the caller's bytes, without a copy; empty input has no pointer.
    pdf.processMemoryFile("document", bytes.empty() ? "" : bytes.data(), bytes.size());
  } catch (const std::exception&) {
    // Damage qpdf cannot repair, a password: not a document to print.
    return {};
  }
  try {
    return {true, firstPageOf(pdf.getRoot().getKey("/Pages"))};
  } catch (const std::exception&) {
    // A loop in the objects on the way to page 1 costs only the size.
    return {true, std::nullopt};
  }
}

}  // namespace PdfDocument
