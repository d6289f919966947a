#pragma once
// How single values of a card read in its text forms (JSON, CSV).
#include <QByteArray>
#include <QString>

#include <optional>

namespace k8w {

// A date as local "YYYY-MM-DDTHH:MM:SS"; empty for no date (0 or damaged).
QString DateMemberText(double days);
// The reverse; nothing for any other text.
std::optional<double> ParseDateMemberText(const QString& text);

// Appends `text` as a JSON string (UTF-8, quotes and controls escaped).
void AppendJsonString(QByteArray& out, const QString& text);

} // namespace k8w
