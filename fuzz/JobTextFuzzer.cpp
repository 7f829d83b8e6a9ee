// Both channels' readings of a job text, which arrives from the session side unchecked.
#include <cstdint>
#include <cstdlib>

#include "core/JobText.h"
#include "intake/ProductCommand.h"
#include "ports/PrintSystem.h"
#include "printing/Settings.h"

namespace {

struct OnePrinter final : PrintSystem {
  std::vector<std::string> printerNames() override { return {"Office"}; }
  std::optional<std::string> defaultPrinter() override { return "Office"; }
  std::optional<std::vector<std::string>> inputSlots(const std::string&) override { return {}; }
  PrintSubmission printPdf(const std::string&, std::string_view, const PrintOptions&,
                           const PrintProgress&) override {
    return {};
  }
  bool acceptsRaw(const std::string&) override { return false; }
  RawSubmission printRaw(const std::string&, const std::string&, const std::string&) override {
    return {};
  }
};

// However many separators a text holds, the pieces are few and joined give back the text.
void checkSplit(std::string_view text, const std::vector<std::string_view>& pieces,
                std::string_view separator) {
  if (pieces.size() > JobText::kPiecesRead) std::abort();
  std::string joined(pieces.front());
  for (std::size_t i = 1; i < pieces.size(); ++i) joined.append(separator).append(pieces[i]);
  if (joined != text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  checkSplit(text, JobText::fieldView(text), JobText::kSeparator);
  checkSplit(text, JobText::starView(text), "*");
  const std::string_view keyword = JobText::keyword(text);
  JobText::classify(keyword);
  JobText::productSettings(text);
  JobText::folderSettings(text);
  if (const auto command = ProductCommand::read(text, keyword)) {
    if (command->name().size() + command->payload().size() > command->pdfFile.size()) std::abort();
  }
  OnePrinter printers;
  if (const auto settings = Settings::GetPrintSettings(text, printers)) {
    Settings::DuplexNumber(settings->Duplex.value());
  }
  return 0;
}
