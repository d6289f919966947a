#include "app/card_base_texts.h"

#include "common/day_date.h"
#include "store/card_store.h"
#include "store/journal_sync.h"

#include <QHash>

namespace k8w {

QString CardChangeTimeText(const QDateTime& at) { return at.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")); }

QString CardConflictQuestion(const CardVersion& newer) {
    return kCardConflictQuestion.arg(newer.changedBy, CardChangeTimeText(newer.changedAt));
}

QString CardChangedText(const CardVersion& version) {
    if (version.changedBy.isEmpty() || !version.changedAt.isValid()) return {};
    return kCardChangedText.arg(version.changedBy, CardChangeTimeText(version.changedAt));
}

QString CardChangeKindText(const QString& kind) {
    static const QHash<QString, QString> words{
        {QStringLiteral("save"), QStringLiteral("сохранение")},
        {QStringLiteral("delete"), QStringLiteral("удаление")},
        {QStringLiteral("key"), QStringLiteral("ключ")},
        {QStringLiteral("program"), QStringLiteral("программирование")},
        {QStringLiteral("restore"), QStringLiteral("восстановление")},
        {QStringLiteral("copy"), QStringLiteral("копирование базы")},
        {QStringLiteral("import"), QStringLiteral("импорт")},
    };
    if (const CardRevision programmed = JournalProgrammedRevision(kind); programmed >= 0)
        return kProgrammedRevisionKind.arg(programmed);
    return words.value(kind, kind);
}

QString ProgrammingNoticeText(const ProgrammingNotice& notice) {
    const QString when = fromDayDate(notice.at).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    if (notice.kind == ProgrammingNotice::Kind::Unfinished)
        return QStringLiteral("Программирование карточки %1 (%2) было прервано: его результат не записан.")
            .arg(notice.slot + 1)
            .arg(when);
    return QStringLiteral("Карточка %1 удалена другим пользователем; результат программирования от %2 записан в её "
                          "историю.")
        .arg(notice.slot + 1)
        .arg(when);
}

} // namespace k8w
