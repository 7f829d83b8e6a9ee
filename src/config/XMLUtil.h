#pragma once

#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

class Paths;

// Home of the agent's files, ~/Documents/com.kestrova.ZelbrinClient, and keeper of the printer
// pair file PrinterPair.xml in it: one attribute of the root element per pair, named by the pair
// key (the filtered server printer name) and holding the local printer's name. Nothing is cached:
// every operation goes to the file, so any number of instances may exist side by side.
class XMLUtil {
 public:
  static constexpr const char* kSupportFolderName = "com.kestrova.ZelbrinClient";
  static constexpr const char* kPairFileName = "PrinterPair.xml";

  explicit XMLUtil(const Paths& paths) : paths_(paths) {}

  // The support folder inside the Documents folder given; nothing is created.
  static std::string supportFolder(const std::string& documentsDirectory) {
    return documentsDirectory + "/" + kSupportFolderName;
  }

  // The support folder, created with any missing parents; no trailing separator. A folder that
  // cannot be created is reported on standard error, and the path is returned all the same so
  // that the write that follows fails and is reported too.
  std::string getSavePath() const;

  // The pair key of a server printer name: spaces dropped, "Printer" put in front unless the name
  // begins with a letter, then everything but A-Z, a-z and 0-9 dropped. The key always begins
  // with an ASCII letter, so that it is a valid attribute name: a name that would leave nothing,
  // or a key beginning with a digit (a non-ASCII letter followed by a digit), gets the "Printer"
  // prefix too. Filtering a key again gives the same key.
  static std::string stringFilter(std::string_view serverPrinterName);
  // The text itself when its first character is a Unicode letter or mark, else "Printer " and
  // the text. An empty text has no letter to begin with and gets the prefix.
  static std::string checkIfStringIsDigit(std::string_view text);

  // Stores a pair under stringFilter(nameOrKey). A key that is already stored keeps its printer.
  // A missing pair file is made; an unreadable one is moved aside first, and the pairs that
  // could still be read from it are kept (XmlFile).
  void addElementToXML(std::string_view nameOrKey, std::string_view localPrinter) const;
  // The local printer stored under the key (taken as it is); the empty key answers the printer of
  // the last pair. Nothing when there is no such pair or no readable pair file.
  std::optional<std::string> loadDataFromXML(std::string_view key) const;
  bool attributExist(std::string_view key) const;
  // Removes the pair (and its record) and rewrites the file; without a readable pair file
  // nothing is written and "Could not write document out..." goes to standard error.
  void deleteDataFromXMLFile(std::string_view key) const;

  // What the file knows of a pair beyond its printer name: the server printer name that made it
  // and the queue it reached then. Kept in a <Pair key="..." server="..." queue="..."/> element of
  // the root, which earlier versions carry along untouched; pairs stored by them have none.
  struct PairRecord {
    std::string server;
    std::string queue;
  };
  std::optional<PairRecord> pairRecord(std::string_view key) const;
  // The key of a server printer name. Its filtered key (stringFilter) while that is its own: free,
  // recorded for this very name, or held by a pair stored before records were kept. Otherwise,
  // and for a name without ASCII letters or digits (whose filtered keys would all be the same),
  // a key derived from the whole name: two names never share a pair.
  std::string pairKey(std::string_view serverPrinterName) const;
  // Stores or replaces the pair under the key with its record; false when it was not written.
  bool storePair(std::string_view key, const PairRecord& record,
                 std::string_view localPrinter) const;
  // The parsed pair file; nothing when it is missing, or cannot be read and nothing of it could
  // be kept.
  std::unique_ptr<pugi::xml_document> getXMLDocument() const;

 private:
  // Reading needs no folder, so the path is built without creating one.
  std::string pairFilePath() const;

  const Paths& paths_;
};
