#include "intake/ProductCommand.h"

#include "core/Diagnostics.h"
#include "core/JobText.h"

bool ProductCommand::isZbComand() const {
  const std::string_view command = importedStringFile;
  return command == JobText::kZelbrinPrinter || command == JobText::kZelbrinDefault ||
         command == JobText::kZelbrinSave || command == JobText::kZelbrinOpen;
}

std::optional<std::vector<std::string>> ProductCommand::getValueFromMapedSettings(
    std::string_view text) {
  return JobText::productSettings(text);
}

std::optional<ProductCommand> ProductCommand::read(std::string text, std::string_view keyword) {
  std::optional<std::vector<std::string>> values = getValueFromMapedSettings(text);
  if (!values) {
    Diagnostics::rejected(keyword, "its settings block is incomplete");
    return std::nullopt;
  }
  if (!values->empty()) {
    // The text is ours: cut the block out in place rather than copying a large payload.
    JobText::eraseAll(text, JobText::settingsBlock((*values)[0], (*values)[1], (*values)[2]));
  }
  const std::size_t first = text.find(JobText::kSeparator);
  const auto fields = first == std::string::npos
                          ? std::vector<std::string_view>{}
                          : JobText::fieldView(std::string_view(text).substr(first));
  if (fields.size() < 3) {
    Diagnostics::rejected(keyword, "it lacks the document name or the payload");
    return std::nullopt;
  }
  ProductCommand command;
  const auto at = [&](std::string_view field) {
    return std::pair(static_cast<std::size_t>(field.data() - text.data()), field.size());
  };
  command.name_ = at(fields[1]);
  command.payload_ = at(fields[2]);
  command.importedStringFile = text.substr(0, first);
  command.settings = std::move(*values);
  // Kept whole: cutting the keyword off the front would move the whole payload once more.
  command.pdfFile = std::move(text);
  return command;
}
