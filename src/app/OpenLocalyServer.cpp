#include "app/OpenLocalyServer.h"

#include <QDialog>

#include "ui_ServerOptions.h"

OpenLocalyServer::OpenLocalyServer()
    : serverOptionsWindow_(std::make_unique<QDialog>()),
      ui_(std::make_unique<Ui::ServerOptions>()) {
  ui_->setupUi(serverOptionsWindow_.get());
}

OpenLocalyServer::~OpenLocalyServer() = default;

void OpenLocalyServer::ServerOptionsOpenLocaly() {
  serverOptionsWindow_->show();
  serverOptionsWindow_->raise();
  serverOptionsWindow_->activateWindow();
}

QLineEdit& OpenLocalyServer::tbServerURL() const { return *ui_->tbServerURL; }
QLineEdit& OpenLocalyServer::tbUsername() const { return *ui_->tbUsername; }
QLineEdit& OpenLocalyServer::tbPassword() const { return *ui_->tbPassword; }
