#pragma once

#include <string>
#include <vector>

class XMLUtil;

// The printer pairs as the options window lists them: one pair text "key=local printer" per
// pair, in the order of the pair file. A key never holds "=", so the text before the first "="
// is always the key.
class PrinterPair {
 public:
  // Takes a snapshot of the pairs; later changes of the file do not reach it.
  explicit PrinterPair(const XMLUtil& util);

  // A fresh list of the pair texts; the snapshot is left as it was.
  std::vector<std::string> SetPrintersName() const;
  std::string getSavePath() const;

  std::vector<std::string> mappedPrintersArray;

 private:
  const XMLUtil& util_;
};
