#pragma once
#include <QString>
#include <QStringList>

namespace k8w {

// The settings file of the data folder (the current directory): a [base]
// group whose url names a shared card base.
inline const QString kCardBaseConfigName = QStringLiteral("k8w.conf");

// The card base the window program works on: "--base URL" (or "--base=URL")
// among its arguments, else url= in the [base] group of k8w.conf in the
// current directory, else the database file `fileName` as always. The url
// is read whole (a libpq URI listing several hosts has commas; quoted as the
// INI format writes it, or not). Empty (and why in `error`) for a --base
// without a value, and for a url that cannot be read: empty, not a
// postgresql:// or postgres:// URI, a list of URIs, given twice. A k8w.conf
// without url= in [base] leaves the file.
QString ChooseCardBase(const QStringList& arguments, const QString& fileName, QString* error);

// How the window names a base: the file's full path, or the hosts and the
// database of a URI ("db1.example,db2.example/k8w"), never a user or password.
QString CardBaseShownName(const QString& location);
// The status bar's text of a base: a file's path alone, or a shared base's
// name and `state` (connected, reconnecting...).
QString CardBaseStatusText(const QString& location, const QString& state);

} // namespace k8w
