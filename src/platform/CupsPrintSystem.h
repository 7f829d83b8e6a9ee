#pragma once

#include "platform/PrintSystem.h"

class CupsPrintSystem final : public PrintSystem {
 public:
  std::vector<std::string> printerNames() override;
};
