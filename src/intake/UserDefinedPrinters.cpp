// The user-defined printers of PastboardController: a server printer that the user has paired
// once with a local printer prints there from then on; an unpaired one asks, a stale pair is
// forgotten.

#include <algorithm>
#include <iostream>

#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "core/Base64.h"
#include "core/JobText.h"
#include "intake/PastboardController.h"
#include "core/TextValue.h"
#include "ports/Clipboard.h"
#include "ports/PrintSystem.h"
#include "ports/PrinterPrompt.h"

namespace {

void rejectUserDefined(std::string_view keyword, std::string_view why) {
  std::cerr << "zelbrin-client: ignoring a \"" << keyword.substr(0, 20) << "\" job: " << why
            << '\n';
}

}  // namespace

std::optional<std::vector<std::string>> PastboardController::getValueFromUserDefinedPDFString(
    std::string_view text) const {
  const auto stars = JobText::starView(text);
  const auto fields = JobText::fieldView(text);
  if (stars.size() < 9) return std::nullopt;
  return std::vector<std::string>{
      std::string(stars[4]), std::string(stars[6]), std::string(stars[8]),
      stars.size() >= 11 ? std::string(stars[10]) : std::string("1"),
      fields.size() >= 8 ? std::string(fields[7]) : std::string("false")};
}

void PastboardController::UserDefined(std::string_view keyword, std::string_view text) {
  const std::vector<std::string> printers = services_.printSystem.printerNames();
  services_.prompt.setPrinters(printers);
  if (printers.empty()) return;

  if (JobText::upperCased(keyword) == JobText::kUserDefinedPdf) {
    userDefinedPdf(keyword, text);
  } else {
    userDefinedDriver(keyword, text);
  }
}

void PastboardController::userDefinedPdf(std::string_view keyword, std::string_view text) {
  const std::optional<std::vector<std::string>> values = getValueFromUserDefinedPDFString(text);
  const auto fields = JobText::fieldView(text);
  // Server printer (star 2), settings (stars 4 to 8) and payload (field 6) are all needed.
  if (!values || fields.size() < 7) {
    rejectUserDefined(keyword, "it lacks the printer, its settings or the document");
    macPrinterName_.reset();
    importedStringFile_.reset();
    return;
  }
  JobValues& job = services_.job;
  job.jobTray = (*values)[0];
  job.jobDuplex = (*values)[1];
  job.jobColor = (*values)[2];
  job.jobCopies = TextValue::integerValue((*values)[3]);
  getDuplexNumber(job.jobDuplex);
  const std::string server(JobText::starView(text)[2]);
  if (fields.size() >= 8) job.jobCollate = std::string(fields[7]);
  job.userDefinedPdfData = Base64::dataFromBase64String(fields[6]);
  name_ = std::string(fields[5]);  // the job's name in the print queue

  XMLUtil& pairs = services_.utilXML;
  const std::string key = XMLUtil::stringFilter(server);
  ServerPrinter_ = key;
  if (pairs.attributExist(key)) {
    macPrinterName_ = pairs.loadDataFromXML(key);
    if (!doesPrinterExist(macPrinterName_)) {
      pairs.deleteDataFromXMLFile(key);
      macPrinterName_ = std::string(kNoLocalPrinter);
    }
  } else {
    const std::optional<std::string> answer = askForPrinter(server, false);
    if (answer == kNoLocalPrinter) {
      macPrinterName_.reset();
    } else if (!answer) {
      // OK without a choice: nothing is stored, nothing printed, the next job asks again.
      macPrinterName_.reset();
    } else {
      pairs.addElementToXML(key, *answer);
      const std::optional<std::string> stored = pairs.loadDataFromXML(key);
      macPrinterName_ = (stored && !stored->empty()) ? *stored : std::string(kNoLocalPrinter);
      services_.tableView.populateTable();
    }
  }
  importedStringFile_ = std::string(keyword);
}

void PastboardController::userDefinedDriver(std::string_view keyword, std::string_view text) {
  const auto stars = JobText::starView(text);
  if (stars.size() < 3) {
    rejectUserDefined(keyword, "it lacks the printer or the data");
    macPrinterName_.reset();
    importedStringFile_.reset();
    return;
  }
  JobValues& job = services_.job;
  std::string raw(stars[2]);
  JobText::eraseAll(raw, JobText::kSeparator);
  job.rawJobData = std::move(raw);

  XMLUtil& pairs = services_.utilXML;
  const std::string key = XMLUtil::stringFilter(stars[1]);
  if (pairs.attributExist(key)) {
    macPrinterName_ = pairs.loadDataFromXML(key);
    if (!doesPrinterExist(macPrinterName_)) pairs.deleteDataFromXMLFile(key);
    const std::optional<std::string> stored = pairs.loadDataFromXML(key);
    macPrinterName_ = (stored && !stored->empty()) ? *stored : std::string(kNoLocalPrinter);
    if (*macPrinterName_ == kNoLocalPrinter) {
      services_.clipboard.setText("");
    } else if (!doesPrinterExist(macPrinterName_)) {
      // The stale pair could not be deleted: ask again rather than send to a missing printer.
      services_.prompt.setPrinters(services_.printSystem.printerNames());
      const std::optional<std::string> answer = askForPrinter(stars[1], true);
      if (answer && *answer != kNoLocalPrinter) {
        pairs.addElementToXML(key, *answer);
        macPrinterName_ = answer;
        services_.tableView.populateTable();
      }
    }
  } else {
    const std::optional<std::string> answer = askForPrinter(stars[1], true);
    if (answer != kNoLocalPrinter) {
      if (!answer) {
        job.printerPromptCancelled = true;
      } else {
        pairs.addElementToXML(key, *answer);
        services_.tableView.populateTable();
      }
      macPrinterName_ = answer;
    }
  }
  importedStringFile_ = std::string(keyword);
}

std::optional<std::string> PastboardController::askForPrinter(std::string_view serverPrinter,
                                                              bool raw) {
  // Offered first: the default printer when it can take the job, else the first one that can.
  PrintSystem& printSystem = services_.printSystem;
  const auto canTake = [&](const std::string& name) { return !raw || printSystem.acceptsRaw(name); };
  std::vector<std::string> names = printSystem.printerNames();
  std::optional<std::string> preselected = printSystem.defaultPrinter();
  if (!preselected || std::find(names.begin(), names.end(), *preselected) == names.end() ||
      !canTake(*preselected)) {
    const auto found = std::find_if(names.begin(), names.end(), canTake);
    preselected = found == names.end() ? std::nullopt : std::optional<std::string>(*found);
  }
  services_.prompt.prepare(std::string(serverPrinter), preselected);
  RunModalWindow();
  return services_.job.selectedLocalPrinter;
}

void PastboardController::RunModalWindow() {
  const PrinterPrompt::Answer answer = services_.prompt.run();
  if (answer.cancelled) {
    cancelBtn();
  } else {
    startBtn(answer.selected);
  }
}

void PastboardController::startBtn(const std::optional<std::string>& selected) {
  services_.job.selectedLocalPrinter = selected;
}

void PastboardController::cancelBtn() {
  services_.clipboard.setText(" ");
  services_.job.selectedLocalPrinter = std::string(kNoLocalPrinter);
  macPrinterName_ = std::string(kNoLocalPrinter);
  services_.job.printerPromptCancelled = true;
}
