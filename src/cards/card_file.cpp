#include "cards/card_file.h"

#include "common/message_box.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace k8w {
namespace {

constexpr qint64 kRecord = static_cast<qint64>(kCardSize);

CardWriteHook& writeHook() {
    static CardWriteHook hook;
    return hook;
}

bool readRecord(QIODevice& in, Card& into) {
    return in.read(reinterpret_cast<char*>(&into), kRecord) == kRecord;
}

bool writeRecord(QIODevice& out, const Card& card, qint64& written) {
    if (writeHook() && !writeHook()(written)) return false;
    if (out.write(reinterpret_cast<const char*>(&card), kRecord) != kRecord) return false;
    written += kRecord;
    return true;
}

} // namespace

CardLoadOutcome LoadCardDevice(QIODevice& in, Card* cardSlots, int capacity, Card& cardTemplate) {
    const qint64 size = in.size();
    if (size <= 0 || size % kRecord != 0) return CardLoadOutcome::Rejected;
    const qint64 records = size / kRecord - 1;
    for (qint64 i = 0; i < records && i < capacity; ++i) {
        if (!readRecord(in, cardSlots[i])) {
            cardSlots[i] = Card{};  // the slot being read stays empty
            return CardLoadOutcome::PartlyRead;
        }
    }
    Card loadedTemplate{};
    if (!readRecord(in, loadedTemplate)) return CardLoadOutcome::PartlyRead;
    cardTemplate = loadedTemplate;
    return CardLoadOutcome::Loaded;
}

bool LoadCardFile(const QString& fileName, Card* cardSlots, int capacity, Card& cardTemplate,
                  CardLoadOutcome* outcome) {
    CardLoadOutcome result = CardLoadOutcome::Missing;
    QFile file(fileName);
    if (file.exists()) {
        result = file.open(QIODevice::ReadOnly)
                     ? LoadCardDevice(file, cardSlots, capacity, cardTemplate)
                     : CardLoadOutcome::PartlyRead;
    }
    if (outcome) *outcome = result;
    return result == CardLoadOutcome::Loaded;
}

bool SaveCardFile(const QString& fileName, const Card* cardSlots, int count, const Card& cardTemplate) {
    QSaveFile file(fileName);
    bool ok = file.open(QIODevice::WriteOnly);
    qint64 written = 0;
    for (int i = 0; ok && i < count; ++i) ok = writeRecord(file, cardSlots[i], written);
    ok = ok && writeRecord(file, cardTemplate, written);
    // commit() flushes the temporary file to disk and renames it over the old one.
    ok = ok && file.commit();
    if (!ok) {
        file.cancelWriting();
        showMessage(QStringLiteral("Ошибка"), QStringLiteral("Ошибка записи на диск"),
                    MsgButtons::Ok, MsgIcon::Error);
    }
    return ok;
}

QString SetAsideCardFile(const QString& fileName) {
    const QString stem = fileName + QStringLiteral(".bad-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int n = 2; QFileInfo::exists(target); ++n) target = stem + QLatin1Char('-') + QString::number(n);
    return QFile::rename(fileName, target) ? target : QString();
}

void setCardWriteHook(CardWriteHook hook) { writeHook() = std::move(hook); }

} // namespace k8w
