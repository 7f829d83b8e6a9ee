#include "platform/QtAlert.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QList>
#include <QMessageBox>
#include <QPushButton>

namespace {

// The texts come in English, marked QT_TRANSLATE_NOOP("Alert", …) where they are written.
QString translated(const std::string& text) {
  return QCoreApplication::translate("Alert", text.c_str());
}

}  // namespace

void QtAlert::beginSheet(const Message& message, std::function<void(int returnCode)> didEnd) {
  auto* box = new QMessageBox(&window_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->setIcon(QMessageBox::Warning);
  box->setWindowTitle(translated(message.messageText));
  box->setText(translated(message.messageText));
  // Leading line breaks space the text out under a Cocoa title; a label shows them as a gap.
  box->setInformativeText(translated(message.informativeText).trimmed());
  QList<QAbstractButton*> buttons;
  for (const std::string& title : message.buttons) {
    buttons.append(box->addButton(translated(title), QMessageBox::AcceptRole));
  }
  if (buttons.isEmpty()) buttons.append(box->addButton(QMessageBox::Ok));
  box->setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
  box->setEscapeButton(buttons.last());
  QObject::connect(box, &QMessageBox::finished, box, [box, buttons, didEnd = std::move(didEnd)] {
    const auto index = buttons.indexOf(box->clickedButton());
    if (didEnd) didEnd(index < 0 ? static_cast<int>(buttons.size()) - 1 : static_cast<int>(index));
  });
  box->open();
}
