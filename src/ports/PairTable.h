#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The options window's table of printer pairs: one row per pair text. At most one row is
// selected at a time, so that removing "the selected pair" means the same pair in the table and
// in the pair file.
class PairTable {
 public:
  virtual ~PairTable() = default;
  virtual void removeAllRows() = 0;
  // Appends a row showing the text.
  virtual void addRow(const std::string& name) = 0;
  virtual std::size_t numberOfRows() const = 0;
  // The text a row shows; the row must exist.
  virtual std::string rowName(std::size_t row) const = 0;
  // Nothing when no row is selected.
  virtual std::optional<std::size_t> selectedRow() const = 0;
  virtual void removeRow(std::size_t row) = 0;
};
