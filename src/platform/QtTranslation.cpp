#include "platform/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace QtTranslation {

void load(QCoreApplication& application) {
  // Our own comes embedded in the program (qt_add_translations' resource), Qt's from its
  // translations folder (Debian's qt6-translations-l10n).
  const std::pair<QString, QString> sources[] = {
      {QStringLiteral("zelbrin-client"), QStringLiteral(":/i18n")},
      {QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
  };
  // The user's languages in their order; the first that we have, Qt's own dialogs following it.
  // English, the language the texts are written in, has no translation file, so it must end the
  // search itself: someone who prefers English to German ("en_GB:de") would otherwise get German.
  for (const QString& language : QLocale::system().uiLanguages()) {
    if (QLocale(language).language() == QLocale::English) return;
    // This language only ("de_DE", else "de"): loading by locale would go on to the user's next
    // languages.
    const QString suffix = QLatin1Char('_') + QLocale(language).name();
    auto own = std::make_unique<QTranslator>(&application);
    if (!own->load(sources[0].first + suffix, sources[0].second)) continue;
    QCoreApplication::installTranslator(own.release());
    auto qt = std::make_unique<QTranslator>(&application);
    if (qt->load(sources[1].first + suffix, sources[1].second)) {
      QCoreApplication::installTranslator(qt.release());
    }
    return;
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
