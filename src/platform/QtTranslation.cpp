#include "platform/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace QtTranslation {

void load(QCoreApplication& application) {
  const QLocale locale = QLocale::system();
  // Our own comes embedded in the program (qt_add_translations' resource), Qt's from its
  // translations folder (Debian's qt6-translations-l10n).
  const std::pair<QString, QString> sources[] = {
      {QStringLiteral("zelbrin-client"), QStringLiteral(":/i18n")},
      {QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
  };
  for (const auto& [name, folder] : sources) {
    auto* translator = new QTranslator(&application);
    if (translator->load(locale, name, QStringLiteral("_"), folder)) {
      QCoreApplication::installTranslator(translator);
    } else {
      delete translator;
    }
  }
}

const UserText::Translator& translator() {
  static const UserText::Translator translate = [](const char* context, const char* source) {
    return QCoreApplication::translate(context, source).toStdString();
  };
  return translate;
}

QString text(const UserText& text) { return QString::fromStdString(text.shown(translator())); }

}  // namespace QtTranslation
