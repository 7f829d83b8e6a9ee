#pragma once

#include <QString>
#include <string>

#include "core/UserText.h"

class QCoreApplication;

// The user's language at the Qt boundary: texts made without Qt are translated here, by the
// translators the application has installed.
namespace QtTranslation {

// Loads the program's own translation and Qt's (its dialogs' buttons and labels) for the
// system's locale. A language without a translation stays English, silently.
void load(QCoreApplication& application);

// The translator for UserText::shown.
const UserText::Translator& translator();

QString text(const UserText& text);

}  // namespace QtTranslation
