#include "QtSpanish.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QString QtSpanish::translationsPath()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool QtSpanish::install()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load("qtbase_es", translationsPath()) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}
