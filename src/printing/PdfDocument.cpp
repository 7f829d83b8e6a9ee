#define POINTERHOLDER_TRANSITION 4

#include "printing/PdfDocument.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <exception>
#include <limits>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>
#include <vector>

#include "core/Diagnostics.h"

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

// What the page tree's root says, which costs nothing to read; counting the leaves would visit
// every page of the document.
std::optional<int> pageCountOf(QPDFObjectHandle pages) {
  if (!pages.isDictionary()) return std::nullopt;
  QPDFObjectHandle count = pages.getKey("/Count");
  if (!count.isInteger()) return std::nullopt;
  const long long value = count.getIntValue();
  if (value < 1 || value > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(value);
}

Reading readWith(std::string_view bytes, bool repair) {
  QPDF pdf;
  pdf.setSuppressWarnings(true);
  pdf.setAttemptRecovery(repair);
  try {
    // qpdf reads straight from the caller's bytes, without a copy; empty input has no pointer.
    pdf.processMemoryFile("document", bytes.empty() ? "" : bytes.data(), bytes.size());
  } catch (const std::exception&) {
    // Damage qpdf cannot repair, a password: not a document to print.
    return {};
  }
  Reading reading{true, std::nullopt, std::nullopt};
  try {
    QPDFObjectHandle pages = pdf.getRoot().getKey("/Pages");
    reading.pageCount = pageCountOf(pages);
    reading.firstPageSize = firstPageOf(pages);
  } catch (const std::exception&) {
    // A loop in the objects on the way to page 1 costs only the size.
  }
  return reading;
}

// Repair in a child process that is killed when its time is up: qpdf's repair of a broken
// cross-reference table has no bound (a few megabytes of the wrong kind keep it busy for
// minutes), and the agent must not stall with it.
Reading readRepairedAside(std::string_view bytes, std::chrono::milliseconds budget) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return {};
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(ends[0]);
    ::close(ends[1]);
    return {};
  }
  if (child == 0) {
    ::close(ends[0]);
    const Reading reading = readWith(bytes, true);
    const double answer[4] = {reading.readable ? 1.0 : 0.0,
                              reading.firstPageSize ? reading.firstPageSize->width : -1.0,
                              reading.firstPageSize ? reading.firstPageSize->height : -1.0,
                              static_cast<double>(reading.pageCount.value_or(0))};
    [[maybe_unused]] const ssize_t written = ::write(ends[1], answer, sizeof answer);
    ::_exit(0);
  }
  ::close(ends[1]);
  double answer[4] = {0, -1, -1, 0};
  pollfd ready{ends[0], POLLIN, 0};
  const bool answered = ::poll(&ready, 1, static_cast<int>(budget.count())) == 1 &&
                        ::read(ends[0], answer, sizeof answer) == sizeof answer;
  ::close(ends[0]);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  if (!answered) {
    Diagnostics::warning() << "the PDF's damage could not be repaired within "
                       << budget.count() / 1000.0 << " s; it is refused";
    return {};
  }
  Reading reading;
  reading.readable = answer[0] == 1.0;
  if (answer[1] >= 0) reading.firstPageSize = PageSize{answer[1], answer[2]};
  if (answer[3] >= 1) reading.pageCount = static_cast<int>(answer[3]);
  return reading;
}

}  // namespace

Reading read(std::string_view bytes, std::chrono::milliseconds repairBudget) {
  const Reading reading = readWith(bytes, false);
  if (reading.readable) return reading;
  return readRepairedAside(bytes, repairBudget);
}

}  // namespace PdfDocument
