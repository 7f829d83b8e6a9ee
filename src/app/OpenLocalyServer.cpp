#include "app/OpenLocalyServer.h"

#include <QDialog>

#include "documents/ServerLogin.h"
#include "ui_ServerOptions.h"

OpenLocalyServer::OpenLocalyServer()
    : serverOptionsWindow_(std::make_unique<QDialog>()),
      ui_(std::make_unique<Ui::ServerOptions>()) {
  ui_->setupUi(serverOptionsWindow_.get());
}

OpenLocalyServer::~OpenLocalyServer() = default;

void OpenLocalyServer::connectTo(ServerLogin& login) {
  const auto update = [this, &login] {
    login.set(ui_->tbServerURL->text().trimmed().toStdString(),
              ui_->tbUsername->text().toStdString(), ui_->tbPassword->text().toStdString());
  };
  for (QLineEdit* field : {ui_->tbServerURL, ui_->tbUsername, ui_->tbPassword}) {
    QObject::connect(field, &QLineEdit::textChanged, serverOptionsWindow_.get(), update);
  }
}

void OpenLocalyServer::ServerOptionsOpenLocaly() {
  serverOptionsWindow_->show();
  serverOptionsWindow_->raise();
  serverOptionsWindow_->activateWindow();
}

QLineEdit& OpenLocalyServer::tbServerURL() const { return *ui_->tbServerURL; }
QLineEdit& OpenLocalyServer::tbUsername() const { return *ui_->tbUsername; }
QLineEdit& OpenLocalyServer::tbPassword() const { return *ui_->tbPassword; }
