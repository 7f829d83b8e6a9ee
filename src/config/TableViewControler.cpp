#include "config/TableViewControler.h"

#include <array>
#include <utility>

#include "config/XMLUtil.h"
#include "config/XmlFile.h"
#include "intake/TextValue.h"
#include "platform/Paths.h"

namespace {

constexpr const char* kSettingsQuery = "//Settings";

std::string keyString(std::string_view key) { return std::string(key); }

}  // namespace

std::string TableViewControler::settingsPath() {
  return util_.getSavePath() + "/" + kSettingsFileName;
}

std::optional<std::string> TableViewControler::GetOptionsValue(
    const std::string& documentsDirectory, std::string_view key) {
  // Built without creating the folder: asking for a switch must not touch the disk.
  const std::string path =
      documentsDirectory + "/" + XMLUtil::kSupportFolderName + "/" + kSettingsFileName;
  const auto document = XmlFile::read(path);
  if (!document) return std::string();
  const pugi::xpath_node_set found = document->document_element().select_nodes(kSettingsQuery);
  if (found.size() != 1) return std::nullopt;
  const pugi::xml_attribute attribute = found.first().node().attribute(keyString(key).c_str());
  if (!attribute) return std::nullopt;
  return std::string(attribute.value());
}

bool TableViewControler::isOn(const std::string& documentsDirectory, std::string_view key) {
  return GetOptionsValue(documentsDirectory, key) == "1";
}

void TableViewControler::WriteSettings(std::string_view key, std::string_view value) {
  const std::string path = settingsPath();
  const std::string name = keyString(key);
  const std::string text(value);
  auto document = XmlFile::read(path);
  if (document) {
    for (const pugi::xpath_node& node : document->document_element().select_nodes(kSettingsQuery)) {
      pugi::xml_node settings = node.node();
      pugi::xml_attribute attribute = settings.attribute(name.c_str());
      if (!attribute) attribute = settings.append_attribute(name.c_str());
      attribute.set_value(text.c_str());
    }
  } else {
    document = std::make_unique<pugi::xml_document>();
    pugi::xml_node declaration = document->append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-8");
    document->append_child("ZelbrinSettings")
        .append_child("Settings")
        .append_attribute(name.c_str())
        .set_value(text.c_str());
  }
  XmlFile::write(path, *document);
}

void TableViewControler::LoadSettings() {
  const auto document = GetXML();
  if (!document) return;
  const std::array<std::pair<std::string_view, CheckBox*>, 4> boxes{{
      {kLog, boxes_.log},
      {kDialog, boxes_.Dialog},
      {kMappedSettings, boxes_.MappedSettings},
      {kRedirectedFolder, boxes_.RedirectedFolder},
  }};
  for (const pugi::xpath_node& node : document->document_element().select_nodes(kSettingsQuery)) {
    for (const auto& [key, box] : boxes) {
      const pugi::xml_attribute attribute = node.node().attribute(keyString(key).c_str());
      if (attribute && box != nullptr) box->setState(TextValue::integerValue(attribute.value()));
    }
  }
}

void TableViewControler::InitializeSettings() {
  const std::array<std::pair<std::string_view, CheckBox*>, 4> boxes{{
      {kRedirectedFolder, boxes_.RedirectedFolder},
      {kDialog, boxes_.Dialog},
      {kMappedSettings, boxes_.MappedSettings},
      {kLog, boxes_.log},
  }};
  for (const auto& [key, box] : boxes) {
    if (box != nullptr) WriteSettings(key, std::to_string(box->state()));
  }
}

std::unique_ptr<pugi::xml_document> TableViewControler::GetXML() {
  return XmlFile::read(settingsPath());
}

void TableViewControler::awakeFromNib() {
  LoadSettings();
  // The pair table is filled here too once printer pairs exist.
  InitializeSettings();
}
