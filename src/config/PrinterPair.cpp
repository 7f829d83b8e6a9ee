#include "config/PrinterPair.h"

#include "config/XMLUtil.h"

PrinterPair::PrinterPair(const XMLUtil& util) : util_(util) {
  mappedPrintersArray = SetPrintersName();
}

std::vector<std::string> PrinterPair::SetPrintersName() const {
  std::vector<std::string> texts;
  const auto document = util_.getXMLDocument();
  if (!document) return texts;
  for (const pugi::xml_attribute& attribute : document->document_element().attributes()) {
    texts.push_back(std::string(attribute.name()) + "=" + attribute.value());
  }
  return texts;
}

std::string PrinterPair::getSavePath() const { return util_.getSavePath(); }
