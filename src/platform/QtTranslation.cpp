#include "platform/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace QtTranslation {

void load(QCoreApplication& application) {
  // Our own comes embedded in the program (qt_add_translations' resource), Qt's from its
  // translations folder (Debian's qt6-translations-l10n).
  const std::pair<QString, QString> sources[] = {
      {QStringLiteral("zelbrin-client"), QStringLiteral(":/i18n")},
      {QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
  };
  // The user's languages in their order. English, the language the texts are written in, has no
  // translation file, so it must end the search itself: someone who prefers English to German
  // ("en_GB:de") would otherwise get German.
  for (const QString& language : QLocale::system().uiLanguages()) {
    if (QLocale(language).language() == QLocale::English) return;
    bool found = false;
    for (const auto& [name, folder] : sources) {
      auto* translator = new QTranslator(&application);
      // This language only ("de_DE", else "de"): loading by locale would go on to the user's
      // next languages.
      if (translator->load(name + QLatin1Char('_') + QLocale(language).name(), folder)) {
        QCoreApplication::installTranslator(translator);
        found = true;
      } else {
        delete translator;
      }
    }
    if (found) return;
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
