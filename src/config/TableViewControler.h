#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "core/UserText.h"
#include "ports/CheckBox.h"

class Alert;
class PairTable;
class Paths;
class XMLUtil;

// Controller of the options window and keeper of the settings file
// ~/Documents/com.kestrova.ZelbrinClient/ZelbrinSettings.xml, which holds the four switches.
// No switch is cached: every read goes to the file, so a change applies to the very next job.
// The window also lists the printer pairs and lets the user remove one.
class TableViewControler {
 public:
  static constexpr const char* kSettingsFileName = "ZelbrinSettings.xml";
  static constexpr std::string_view kMappedSettings = "MappedSettings";
  static constexpr std::string_view kDialog = "Dialog";
  static constexpr std::string_view kRedirectedFolder = "RedirectedFolder";
  static constexpr std::string_view kLog = "Log";
  // Not a switch: the folder the last document was saved in, where the next save panel opens.
  static constexpr std::string_view kSaveFolder = "SaveFolder";
  // The folder that the remote-desktop connection redirects, in the Documents folder.
  static constexpr std::string_view kRedirectedFolderName = "ZbDataDrive";
  static constexpr std::string_view kAlertMessageText =
      QT_TRANSLATE_NOOP("Alert", "Folder Redirection");
  static constexpr std::string_view kAlertInformativeText = QT_TRANSLATE_NOOP(
      "Alert",
      "\r For Folder Redirection to work please add redirected folder to Microsoft Remote Desktop "
      "and reconnect to RDP session!");

  // The window's four check boxes (its outlets).
  struct CheckBoxes {
    CheckBox* MappedSettings = nullptr;
    CheckBox* Dialog = nullptr;
    CheckBox* log = nullptr;
    CheckBox* RedirectedFolder = nullptr;
  };

  TableViewControler(const Paths& paths, XMLUtil& util) : paths_(paths), util_(util) {}

  void connectOutlets(const CheckBoxes& boxes) { boxes_ = boxes; }
  // The pair table; the controller works without one (nothing is listed).
  void setTheTable(PairTable* table) { theTable_ = table; }
  PairTable* theTable() const { return theTable_; }
  // Where the folder-redirection sheet is shown; without one it is not shown.
  void setAlert(Alert* alert) { alert_ = alert; }

  // Called once after the outlets are connected: the stored switches go into the boxes and are
  // written straight back, so the file always holds all four after start-up.
  void awakeFromNib();

  // Refills the pair table from the pair file.
  void populateTable();
  // The remove button: takes the selected pair out of the table and out of the pair file.
  void btn();
  // The check boxes' actions. chkState, chkDialogState and RedirectedFolder act only for a
  // sender with tag 0; Log stores whatever its sender says.
  void chkState(const CheckBox& sender);
  void chkDialogState(const CheckBox& sender);
  void Log(const CheckBox& sender);
  void RedirectedFolder(const CheckBox& sender);
  // Tells the user to add the redirected folder to the remote-desktop connection.
  void RedirectedFolderAlert();
  void alertDidEnd(const Alert& alert, int returnCode, const void* contextInfo);
  // Rows of the pair table.
  std::size_t numberOfRowsInTableView() const;

  // The stored text of a switch. "" when there is no readable settings file; nothing when the
  // file does not hold exactly one "Settings" element, or that element lacks the key.
  static std::optional<std::string> GetOptionsValue(const std::string& documentsDirectory,
                                                    std::string_view key);
  // True exactly when the switch's text is "1".
  static bool isOn(const std::string& documentsDirectory, std::string_view key);
  // True exactly when the switch's text is "0": a switch never stored is not off.
  static bool isOff(const std::string& documentsDirectory, std::string_view key);

  // Stores one switch, in every "Settings" element; an unreadable file is moved aside (XmlFile)
  // and a fresh one holds the switch.
  void WriteSettings(std::string_view key, std::string_view value);
  void LoadSettings();
  void InitializeSettings();
  std::unique_ptr<pugi::xml_document> GetXML();

 private:
  std::string settingsPath();

  const Paths& paths_;
  XMLUtil& util_;
  CheckBoxes boxes_;
  PairTable* theTable_ = nullptr;
  Alert* alert_ = nullptr;
};
