// The settings file and the pair file as a person or another program may have left them.
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "FuzzHome.h"
#include "config/PrinterPair.h"
#include "config/TableViewControler.h"
#include "config/XMLUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const FuzzHome home;
  // Unreadable files are moved aside, never deleted: clear away the last input's, or thousands
  // a second would pile up (and run out of names).
  for (const auto& entry : std::filesystem::directory_iterator(home.support())) {
    if (entry.path().filename().string().find(".unreadable-") != std::string::npos) {
      std::filesystem::remove(entry.path());
    }
  }
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  writeFile(home.support() / TableViewControler::kSettingsFileName, content);
  writeFile(home.support() / XMLUtil::kPairFileName, content);
  const std::string documents = home.documentsDirectory();
  for (const std::string_view key :
       {TableViewControler::kMappedSettings, TableViewControler::kLog, TableViewControler::kDialog,
        TableViewControler::kRedirectedFolder}) {
    TableViewControler::GetOptionsValue(documents, key);
  }
  XMLUtil util(home);
  util.loadDataFromXML("");
  // Every pair the options window lists is found again by the key in front of its "=".
  for (const std::string& pair : PrinterPair(util).SetPrintersName()) {
    if (!util.loadDataFromXML(pair.substr(0, pair.find('=')))) std::abort();
  }
  // The agent's own writes into such files must read back.
  util.addElementToXML("Fuzz Printer", "Local");
  if (!util.attributExist("FuzzPrinter")) std::abort();
  TableViewControler(home, util).WriteSettings(TableViewControler::kDialog, "1");
  const auto dialog = TableViewControler::GetOptionsValue(documents, TableViewControler::kDialog);
  if (dialog && *dialog != "1") std::abort();
  return 0;
}
