#include "app/OptionsWindow.h"

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QWidget>

#include "app/LaunchAtLoginController.h"
#include "config/TableViewControler.h"
#include "ui_OptionsWindow.h"

OptionsWindow::OptionsWindow()
    : window_(std::make_unique<QWidget>()), ui_(std::make_unique<Ui::OptionsWindow>()) {
  ui_->setupUi(window_.get());
  MappedSettings_ = std::make_unique<QtCheckBox>(*ui_->MappedSettings);
  Dialog_ = std::make_unique<QtCheckBox>(*ui_->Dialog);
  log_ = std::make_unique<QtCheckBox>(*ui_->log);
  RedirectedFolder_ = std::make_unique<QtCheckBox>(*ui_->RedirectedFolder);
  theTable_ = std::make_unique<QtPairTable>(*ui_->theTable);
  alert_ = std::make_unique<QtAlert>(*window_);

  // Escape closes the window, as it closes a dialog.
  auto* close = new QShortcut(QKeySequence::Cancel, window_.get());
  QObject::connect(close, &QShortcut::activated, window_.get(), &QWidget::close);
  // The remove button acts on the selected pair: without one it has nothing to act on.
  QTableWidget* table = ui_->theTable;
  const auto followSelection = [table, button = ui_->removeButton] {
    button->setEnabled(table->selectionModel()->hasSelection());
  };
  QObject::connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, table,
                   followSelection);
  QObject::connect(table->model(), &QAbstractItemModel::rowsRemoved, table, followSelection);
  followSelection();
}

OptionsWindow::~OptionsWindow() = default;

void OptionsWindow::connectTo(TableViewControler& controller) {
  controller.connectOutlets(TableViewControler::CheckBoxes{
      .MappedSettings = MappedSettings_.get(),
      .Dialog = Dialog_.get(),
      .log = log_.get(),
      .RedirectedFolder = RedirectedFolder_.get(),
  });
  controller.setTheTable(theTable_.get());
  controller.setAlert(alert_.get());

  QWidget* context = window_.get();
  QObject::connect(ui_->MappedSettings, &QCheckBox::clicked, context,
                   [&controller, box = MappedSettings_.get()] { controller.chkState(*box); });
  QObject::connect(ui_->Dialog, &QCheckBox::clicked, context,
                   [&controller, box = Dialog_.get()] { controller.chkDialogState(*box); });
  QObject::connect(ui_->log, &QCheckBox::clicked, context,
                   [&controller, box = log_.get()] { controller.Log(*box); });
  QObject::connect(
      ui_->RedirectedFolder, &QCheckBox::clicked, context,
      [&controller, box = RedirectedFolder_.get()] { controller.RedirectedFolder(*box); });
  QObject::connect(ui_->removeButton, &QPushButton::clicked, context,
                   [&controller] { controller.btn(); });
  // Delete in the table removes the selected pair, as the button does.
  auto* remove = new QShortcut(QKeySequence::Delete, ui_->theTable, nullptr, nullptr,
                               Qt::WidgetWithChildrenShortcut);
  QObject::connect(remove, &QShortcut::activated, context, [&controller] { controller.btn(); });
}

void OptionsWindow::connectTo(LaunchAtLoginController& launchAtLogin) {
  QCheckBox* box = ui_->launchAtLogin;
  const auto show = [box, &launchAtLogin] { box->setChecked(launchAtLogin.launchAtLogin()); };
  show();
  QObject::connect(&launchAtLogin, &LaunchAtLoginController::launchAtLoginChanged, box, show);
  QObject::connect(box, &QCheckBox::clicked, box,
                   [&launchAtLogin](bool on) { launchAtLogin.setLaunchAtLogin(on); });
}
