// German translations of Qt's standard texts.
#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tavik {

bool installGermanTranslations(QCoreApplication& app) {
  // The user interface is German whatever the system locale says.
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_de"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  app.installTranslator(translator);
  return true;
}

}  // namespace tavik
