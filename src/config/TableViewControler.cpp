#include "config/TableViewControler.h"

#include <array>
#include <filesystem>
#include <system_error>
#include <utility>

#include "config/Log.h"
#include "config/PrinterPair.h"
#include "config/XMLUtil.h"
#include "config/XmlFile.h"
#include "core/Diagnostics.h"
#include "core/FileSystem.h"
#include "core/TextValue.h"
#include "ports/Alert.h"
#include "ports/PairTable.h"
#include "ports/Paths.h"

namespace {

constexpr const char* kSettingsQuery = "//Settings";

constexpr std::string_view kMessage = "Message";
constexpr std::string_view kAlertError = "RedirectedFolderAlert Error";

std::string keyString(std::string_view key) { return std::string(key); }

// Nothing of a damaged settings file is kept: a switch read from it could be any value, and the
// next start writes all four from the check boxes anyway.
const XmlFile::Kind kSettingsFile{
    .what = "the settings file",
    .afterwards = QT_TRANSLATE_NOOP(
        "JobFailure",
        "the options are back at their defaults (set them again in the options window)"),
    .movedAside = QT_TRANSLATE_NOOP("JobFailure",
                                    "The settings file %1 could not be read (%2). It was moved to "
                                    "%3; %4."),
    .leftAsItIs = QT_TRANSLATE_NOOP("JobFailure",
                                    "The settings file %1 cannot be read (%2) and cannot be moved "
                                    "aside (%3); it is left as it is, and changes are not saved "
                                    "until it is repaired or removed."),
    .salvage = nullptr,
};

}  // namespace

std::string TableViewControler::settingsPath() {
  return util_.getSavePath() + "/" + kSettingsFileName;
}

std::optional<std::string> TableViewControler::GetOptionsValue(
    const std::string& documentsDirectory, std::string_view key) {
  // Built without creating the folder: asking for a switch must not touch the disk.
  const std::string path = XMLUtil::supportFolder(documentsDirectory) + "/" + kSettingsFileName;
  const auto document = XmlFile::read(path, kSettingsFile);
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

bool TableViewControler::isOff(const std::string& documentsDirectory, std::string_view key) {
  return GetOptionsValue(documentsDirectory, key) == "0";
}

void TableViewControler::WriteSettings(std::string_view key, std::string_view value) {
  const std::string path = settingsPath();
  const std::string name = keyString(key);
  const std::string text(value);
  XmlFile::Content content = XmlFile::load(path, kSettingsFile);
  if (!content.replaceable) return;
  std::unique_ptr<pugi::xml_document>& document = content.document;
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
  return XmlFile::read(settingsPath(), kSettingsFile);
}

void TableViewControler::awakeFromNib() {
  LoadSettings();
  populateTable();
  InitializeSettings();
}

void TableViewControler::populateTable() {
  if (theTable_ == nullptr) return;
  theTable_->removeAllRows();
  // A fresh snapshot: the job side adds and deletes pairs behind the window's back.
  const PrinterPair pp(util_);
  for (const std::string& text : pp.mappedPrintersArray) theTable_->addRow(text);
}

void TableViewControler::btn() {
  if (theTable_ == nullptr) return;
  const std::optional<std::size_t> row = theTable_->selectedRow();
  if (!row) return;
  const std::string text = theTable_->rowName(*row);
  Diagnostics::debug() << text;
  // A key never holds "=", so this cut is right even for a local printer whose name does.
  const std::string key = text.substr(0, text.find('='));
  theTable_->removeRow(*row);
  util_.deleteDataFromXMLFile(key);
}

void TableViewControler::chkState(const CheckBox& sender) {
  if (sender.tag() != 0) return;
  WriteSettings(kMappedSettings, std::to_string(sender.state()));
}

void TableViewControler::chkDialogState(const CheckBox& sender) {
  if (sender.tag() != 0) return;
  WriteSettings(kDialog, std::to_string(sender.state()));
}

void TableViewControler::Log(const CheckBox& sender) {
  const std::string value = std::to_string(sender.state());
  // Gone before the switch is stored: the user turned the log off to be rid of it.
  if (sender.state() == 0) ::Log(paths_).deleteLogFile();
  WriteSettings(kLog, value);
}

void TableViewControler::RedirectedFolder(const CheckBox& sender) {
  if (sender.tag() != 0) return;
  const std::string value = std::to_string(sender.state());
  const ::Log log(paths_);
  if (value == "0") {
    // Switching off leaves the folder alone: it may still hold a job on its way.
    log.Logging("Redirected Folder value 0", kMessage);
  } else {
    log.Logging("Redirected Folder value 1", kMessage);
    const std::string folder =
        paths_.documentsDirectory() + "/" + std::string(kRedirectedFolderName);
    // Anything already standing there is left alone, a plain file included; only a folder
    // that is not there afterwards is an error worth a log entry.
    if (!FileSystem::exists(folder)) {
      std::error_code error;
      std::filesystem::create_directories(folder, error);
    }
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) log.Logging(kAlertError, kMessage);
  }
  WriteSettings(kRedirectedFolder, value);
  // The folder is of use only once the remote-desktop connection redirects it, which the user
  // has to set up there; say so whenever redirection is switched on.
  if (value != "0") RedirectedFolderAlert();
}

void TableViewControler::RedirectedFolderAlert() {
  if (alert_ == nullptr) return;
  Alert& alert = *alert_;
  alert.beginSheet(
      Alert::Message{
          .messageText = std::string(kAlertMessageText),
          .informativeText = std::string(kAlertInformativeText),
          .buttons = {QT_TRANSLATE_NOOP("Alert", "Ok")},
      },
      [this, &alert](int returnCode) { alertDidEnd(alert, returnCode, nullptr); });
}

void TableViewControler::alertDidEnd(const Alert& /*alert*/, int /*returnCode*/,
                                     const void* /*contextInfo*/) {
  // Closing the sheet is no error: an entry here would look exactly like a failed switch-on.
}

std::size_t TableViewControler::numberOfRowsInTableView() const {
  return theTable_ == nullptr ? 0 : theTable_->numberOfRows();
}
