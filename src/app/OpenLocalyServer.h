#pragma once

#include <memory>

class QDialog;
class QLineEdit;
namespace Ui {
class ServerOptions;
}

// Controller of the server-options window (server address, user name, password).
class OpenLocalyServer {
 public:
  OpenLocalyServer();
  ~OpenLocalyServer();
  OpenLocalyServer(const OpenLocalyServer&) = delete;
  OpenLocalyServer& operator=(const OpenLocalyServer&) = delete;

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
