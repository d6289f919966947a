#pragma once
#include <QString>
#include <QMap>
#include <QStringList>

#include <memory>

namespace k8w {
struct CardTable;
struct CardUpdateResult;
}

namespace k8w::cli {

// Parses "--name value" pairs and bare "--flag"s; anything else is an error.
class Options {
public:
    Options(const QStringList& args, const QStringList& valued, const QStringList& flags);
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    bool has(const QString& name) const { return values_.contains(name); }
    QString value(const QString& name, const QString& fallback = {}) const {
        return values_.value(name, fallback);
    }

private:
    QMap<QString, QString> values_;
    QString error_;
};

// Prints to stderr as UTF-8, with a line end.
void printError(const QString& text);
// Prints to stdout as UTF-8, with a line end.
void printLine(const QString& text);
// A text as one field of a tab-separated line: its own tabs, line breaks and
// other control characters are written as escapes, and so is the backslash.
QString fieldForLine(const QString& text);

// Loads the database read-only; on failure prints why and returns null.
std::unique_ptr<CardTable> loadDatabase(const QString& fileName);
// Before a command talks to a device whose result it will record: the
// database must not be held by the window program, and a rewrite must be
// able to succeed (see CheckCardFileWritable). Prints why not and returns false.
bool databaseReadyForWriting(const QString& fileName);
// Prints why an update of the database did not go through (nothing if it did)
// and returns its status as an exit status: 0, or 2 when the database was
// locked, unreadable or the change refused, or `saveFailedStatus`.
int reportUpdate(const CardUpdateResult& result, int saveFailedStatus);

// Reads "--row N": a grid row 1-9000 holding a card in use. On failure prints
// why and returns -1; `freeRowText` is printed for a free row.
int cardSlotOfRow(const Options& options, const CardTable& table, const QString& freeRowText);

} // namespace k8w::cli
