#pragma once

#include <memory>

class QDialog;
class QLineEdit;
class ServerLogin;
namespace Ui {
class ServerOptions;
}

// Controller of the server-options window (server address, user name, password). What the user
// types goes to the in-memory login that a share refusing a guest is offered; nothing is stored.
class OpenLocalyServer {
 public:
  OpenLocalyServer();
  ~OpenLocalyServer();
  OpenLocalyServer(const OpenLocalyServer&) = delete;
  OpenLocalyServer& operator=(const OpenLocalyServer&) = delete;

  void connectTo(ServerLogin& login);
  void awakeFromNib() {}
  // Brings the server-options window to the front.
  void ServerOptionsOpenLocaly();

  QDialog& serverOptionsWindow() const { return *serverOptionsWindow_; }
  QLineEdit& tbServerURL() const;
  QLineEdit& tbUsername() const;
  QLineEdit& tbPassword() const;

 private:
  std::unique_ptr<QDialog> serverOptionsWindow_;
  std::unique_ptr<Ui::ServerOptions> ui_;
};
