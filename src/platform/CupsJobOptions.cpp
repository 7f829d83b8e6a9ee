#include "platform/CupsJobOptions.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

// A standard size the queue lists when the page is within a point of it (either way round:
// the filters turn a landscape page to fit), otherwise a custom size in whole points. A queue
// picks its PageSize and tray far more reliably by name than by dimensions.
std::string mediaFor(const PageSize& page, http_t* http, cups_dest_t* dest, cups_dinfo_t* info) {
  constexpr double kTolerance = 1.0;
  const auto near = [](double a, double b) { return std::fabs(a - b) <= kTolerance; };
  if (ipp_attribute_t* supported = cupsFindDestSupported(http, dest, info, "media")) {
    for (int i = 0; i < ippGetCount(supported); ++i) {
      const char* name = ippGetString(supported, i, nullptr);
      // custom_min_/custom_max_ are the bounds of custom sizes, not sizes.
      if (name == nullptr || std::strncmp(name, "custom_", 7) == 0) continue;
      const pwg_media_t* media = pwgMediaForPWG(name);
      if (media == nullptr) continue;
      const double width = media->width * 72.0 / 2540.0;
      const double length = media->length * 72.0 / 2540.0;
      if ((near(page.width, width) && near(page.height, length)) ||
          (near(page.width, length) && near(page.height, width))) {
        return name;
      }
    }
  }
  return "Custom." + std::to_string(std::lround(page.width)) + "x" +
         std::to_string(std::lround(page.height));
}

}  // namespace

void addPdfOptions(CupsOptions& out, const PrintOptions& options, http_t* http, cups_dest_t* dest,
                   cups_dinfo_t* info) {
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
    out.add("media", mediaFor(*options.media, http, dest, info));
  }
  out.add("fit-to-page", "true");
  if (options.pageRanges && !options.pageRanges->empty()) {
    out.add("page-ranges", *options.pageRanges);
  }
  // Last, so that the user's choice replaces the job's value of the same name.
  for (const auto& [name, value] : options.extraOptions) out.add(name.c_str(), value);
}
