#include "app/card_base_texts.h"

#include "common/day_date.h"
#include "store/card_store.h"

namespace k8w {

QString CardConflictQuestion(const CardVersion& newer) {
    return kCardConflictQuestion.arg(newer.changedBy,
                                     newer.changedAt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
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
