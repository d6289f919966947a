#include "cards/card_csv.h"

#include "cards/card_members.h"
#include "cards/card_table.h"
#include "cards/config_image.h"
#include "cards/member_text.h"
#include "common/cp1251.h"

#include <QStringList>

namespace k8w {
namespace {

// A field is quoted when it holds the separator, a quote or a line break.
QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

std::size_t columnsOf(const CardMember& m) {
    if (m.kind == MemberKind::ByteList) return m.size;
    return m.kind == MemberKind::TextPair ? 2 : 1;
}

QString header() {
    QStringList names{QStringLiteral("row")};
    for (const CardMember& m : CardMembers()) {
        const std::size_t columns = columnsOf(m);
        for (std::size_t i = 0; i < columns; ++i)
            names += QString::fromLatin1(m.name) + (columns > 1 ? QString::number(i + 1) : QString());
    }
    return names.join(QLatin1Char(';'));
}

QString line(const Card& card, int row) {
    QStringList fields{QString::number(row)};
    for (const CardMember& m : CardMembers()) {
        switch (m.kind) {
        case MemberKind::Text:
            fields += csvField(readTextField(MemberBytes(card, m), m.size));
            break;
        case MemberKind::Number:
        case MemberKind::Flags:
            fields += QString::number(MemberNumber(card, m));
            break;
        case MemberKind::ByteList:
            for (std::size_t i = 0; i < m.size; ++i) fields += QString::number(MemberNumber(card, m, i));
            break;
        case MemberKind::TextPair:
            fields += csvField(readTextField(MemberBytes(card, m), m.size));
            fields += csvField(readTextField(MemberBytes(card, m) + m.size, m.size));
            break;
        case MemberKind::Date:
            fields += DateMemberText(MemberDate(card, m));
            break;
        case MemberKind::Checksum:
            fields += ChecksumText(static_cast<std::uint16_t>(MemberNumber(card, m)));
            break;
        }
    }
    return fields.join(QLatin1Char(';'));
}

} // namespace

QByteArray ExportCardsCsv(const CardTable& table, const std::vector<int>& slotList) {
    QByteArray out("\xEF\xBB\xBF");
    out += header().toUtf8() + "\r\n";
    for (const int slot : slotList) {
        const Card& card = table.cards[static_cast<std::size_t>(slot)];
        if (isCardInUse(card)) out += line(card, slot + 1).toUtf8() + "\r\n";
    }
    return out;
}

} // namespace k8w
