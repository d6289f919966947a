#pragma once
#include <QString>
#include <QStringList>

namespace k8w {

// The settings file of the data folder (the current directory): a [base]
// group whose url names a shared card base.
inline const QString kCardBaseConfigName = QStringLiteral("k8w.conf");

// The card base the window program works on: "--base URL" (or "--base=URL")
// among its arguments, else url= in the [base] group of k8w.conf in the
// current directory, else the database file `fileName` as always. Empty (and
// why in `error`) for a --base without a value or a url that is not a
// postgresql:// or postgres:// URI.
QString ChooseCardBase(const QStringList& arguments, const QString& fileName, QString* error);

} // namespace k8w
