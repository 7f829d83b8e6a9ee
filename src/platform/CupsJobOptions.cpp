#include "platform/CupsJobOptions.h"

#include <cmath>
#include <string>

namespace {

// A standard size the queue lists when the page is within a point of it (either way round:
// the filters turn a landscape page to fit), otherwise a custom size in whole points. A queue
// picks its PageSize and tray far more reliably by name than by dimensions.
std::string mediaFor(const PageSize& page, const std::vector<std::string>& supported) {
  constexpr double kTolerance = 1.0;
  const auto near = [](double a, double b) { return std::fabs(a - b) <= kTolerance; };
  for (const std::string& name : supported) {
    // custom_min_/custom_max_ are the bounds of custom sizes, not sizes.
    if (name.starts_with("custom_")) continue;
    const pwg_media_t* media = pwgMediaForPWG(name.c_str());
    if (media == nullptr) continue;
    const double width = media->width * 72.0 / 2540.0;
    const double length = media->length * 72.0 / 2540.0;
    if ((near(page.width, width) && near(page.height, length)) ||
        (near(page.width, length) && near(page.height, width))) {
      return name;
    }
  }
  return "Custom." + std::to_string(std::lround(page.width)) + "x" +
         std::to_string(std::lround(page.height));
}

}  // namespace

void addPdfOptions(CupsOptions& out, const PrintOptions& options,
                   const std::vector<std::string>& mediaSupported) {
  // Both ways, always: a queue whose default is collated would otherwise collate anyway.
  out.add("multiple-document-handling", options.collate ? "separate-documents-collated-copies"
                                                        : "separate-documents-uncollated-copies");
  out.add("collate", options.collate ? "true" : "false");
  if (options.copies && *options.copies >= 1) out.add("copies", std::to_string(*options.copies));
  if (options.duplexMode) {
    switch (*options.duplexMode) {
      case 1:
        out.add("sides", "one-sided");
        break;
      case 2:
        out.add("sides", "two-sided-long-edge");
        break;
      case 3:
        out.add("sides", "two-sided-short-edge");
        break;
      default:
        break;
    }
  }
  // PPD queues ignore media-source but honour their own InputSlot keyword.
  if (options.inputSlot && !options.inputSlot->empty()) out.add("InputSlot", *options.inputSlot);
  if (options.media && options.media->width > 0 && options.media->height > 0) {
    out.add("media", mediaFor(*options.media, mediaSupported));
  }
  out.add("fit-to-page", "true");
  if (options.pageRanges && !options.pageRanges->empty()) {
    out.add("page-ranges", *options.pageRanges);
  }
  // Last, so that the user's choice replaces the job's value of the same name.
  for (const auto& [name, value] : options.extraOptions) out.add(name.c_str(), value);
}
