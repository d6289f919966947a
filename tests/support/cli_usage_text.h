#pragma once
// Reading k8w-cli's usage text and the manual page's markup, for the tests
// that hold the documents to what the program prints.
#include <QMap>
#include <QRegularExpression>
#include <QString>

namespace k8w::test {

// The synopses a usage text lists, by command name: "program" ->
// "program --row N [--db FILE] ...". A command's line starts with two blanks
// and its name; its summary follows after two blanks or on the lines below.
inline QMap<QString, QString> usageSynopses(const QString& usage) {
    QMap<QString, QString> synopses;
    static const QRegularExpression line(QStringLiteral("^  ([a-z][a-z-]*(?: \\S+)*)"),
                                         QRegularExpression::MultilineOption);
    for (auto m = line.globalMatch(usage); m.hasNext();) {
        const QString synopsis = m.next().captured(1);
        synopses.insert(synopsis.section(QLatin1Char(' '), 0, 0), synopsis);
    }
    return synopses;
}

// A line of roff as it reads: font changes dropped, "\-" as "-".
inline QString roffPlain(QString roff) {
    static const QRegularExpression font(QStringLiteral("\\\\f[BIRP]"));
    return roff.remove(font).replace(QStringLiteral("\\-"), QStringLiteral("-"));
}

} // namespace k8w::test
