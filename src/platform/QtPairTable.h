#pragma once

#include "ports/PairTable.h"

class QTableWidget;

// The pair table of the options window: a one-column QTableWidget. It is put into single-row
// selection whatever the .ui file says, so that the table and the pair file never disagree.
class QtPairTable final : public PairTable {
 public:
  explicit QtPairTable(QTableWidget& table);

  void removeAllRows() override;
  void addRow(const std::string& name) override;
  std::size_t numberOfRows() const override;
  std::string rowName(std::size_t row) const override;
  std::optional<std::size_t> selectedRow() const override;
  void removeRow(std::size_t row) override;

  QTableWidget& widget() const { return table_; }

 private:
  QTableWidget& table_;
};
