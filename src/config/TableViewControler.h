#pragma once

#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "config/CheckBox.h"

class Paths;
class XMLUtil;

// Controller of the options window and keeper of the settings file
// ~/Documents/com.kestrova.ZelbrinClient/ZelbrinSettings.xml, which holds the four switches.
// No switch is cached: every read goes to the file, so a change applies to the very next job.
class TableViewControler {
 public:
  static constexpr const char* kSettingsFileName = "ZelbrinSettings.xml";
  static constexpr std::string_view kMappedSettings = "MappedSettings";
  static constexpr std::string_view kDialog = "Dialog";
  static constexpr std::string_view kRedirectedFolder = "RedirectedFolder";
  static constexpr std::string_view kLog = "Log";

  // The window's four check boxes (its outlets).
  struct CheckBoxes {
    CheckBox* MappedSettings = nullptr;
    CheckBox* Dialog = nullptr;
    CheckBox* log = nullptr;
    CheckBox* RedirectedFolder = nullptr;
  };

  TableViewControler(const Paths& paths, XMLUtil& util) : paths_(paths), util_(util) {}

  void connectOutlets(const CheckBoxes& boxes) { boxes_ = boxes; }

  // Called once after the outlets are connected: the stored switches go into the boxes and are
  // written straight back, so the file always holds all four after start-up.
  void awakeFromNib();

  // The stored text of a switch. "" when there is no readable settings file; nothing when the
  // file does not hold exactly one "Settings" element, or that element lacks the key.
  static std::optional<std::string> GetOptionsValue(const std::string& documentsDirectory,
                                                    std::string_view key);
  // True exactly when the switch's text is "1".
  static bool isOn(const std::string& documentsDirectory, std::string_view key);

  // Stores one switch, in every "Settings" element; replaces an unreadable file with a fresh one.
  void WriteSettings(std::string_view key, std::string_view value);
  void LoadSettings();
  void InitializeSettings();
  std::unique_ptr<pugi::xml_document> GetXML();

 private:
  std::string settingsPath();

  const Paths& paths_;
  XMLUtil& util_;
  CheckBoxes boxes_;
};
