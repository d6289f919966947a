#include "app/card_base_texts.h"

#include "store/card_store.h"

namespace k8w {

QString CardConflictQuestion(const CardVersion& newer) {
    return kCardConflictQuestion.arg(newer.changedBy,
                                     newer.changedAt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
}

} // namespace k8w
