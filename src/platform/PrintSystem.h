#pragma once

#include <string>
#include <vector>

// The local printing system. A printer name is what users see: a queue's description, or its
// queue name when it has none.
class PrintSystem {
 public:
  virtual ~PrintSystem() = default;
  virtual std::vector<std::string> printerNames() = 0;
};
