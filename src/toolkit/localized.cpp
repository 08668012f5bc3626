// localized.cpp - the application's localized strings, looked up by message key.
#include "toolkit/localized.h"

#include <QByteArray>
#include <QCoreApplication>

QString LocalizedString(const QString& key) {
    const QByteArray source = key.toUtf8();
    return QCoreApplication::translate("Localizable", source.constData());
}
