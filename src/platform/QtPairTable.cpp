#include "platform/QtPairTable.h"

#include <QItemSelectionModel>
#include <QTableWidget>

QtPairTable::QtPairTable(QTableWidget& table) : table_(table) {
  table_.setSelectionMode(QAbstractItemView::SingleSelection);
  table_.setSelectionBehavior(QAbstractItemView::SelectRows);
  table_.setEditTriggers(QAbstractItemView::NoEditTriggers);
  if (table_.columnCount() < 1) table_.setColumnCount(1);
}

void QtPairTable::removeAllRows() { table_.setRowCount(0); }

void QtPairTable::addRow(const std::string& name) {
  const int row = table_.rowCount();
  table_.insertRow(row);
  auto* item = new QTableWidgetItem(QString::fromStdString(name));
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  table_.setItem(row, 0, item);
}

std::size_t QtPairTable::numberOfRows() const {
  return static_cast<std::size_t>(table_.rowCount());
}

std::string QtPairTable::rowName(std::size_t row) const {
  const QTableWidgetItem* item = table_.item(static_cast<int>(row), 0);
  return item == nullptr ? std::string() : item->text().toStdString();
}

std::optional<std::size_t> QtPairTable::selectedRow() const {
  const QModelIndexList rows = table_.selectionModel()->selectedRows();
  if (rows.isEmpty()) return std::nullopt;
  return static_cast<std::size_t>(rows.first().row());
}

void QtPairTable::removeRow(std::size_t row) { table_.removeRow(static_cast<int>(row)); }
