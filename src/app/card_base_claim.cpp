#include "app/card_base_claim.h"

#include "app/card_base_texts.h"

#include "app/card_base_choice.h"
#include "store/card_base.h"
#include "store/card_file.h"
#include "store/card_store.h"
#include "common/message_box.h"

namespace k8w {

bool ClaimCardBase(CardBaseLock& lock, const QString& fileName, int lockWaitMs) {
    // A folder, pipe, device, socket or a link to nothing: no save could write it.
    if (CardFileSaveTarget(fileName, nullptr).isEmpty()) {
        showMessage(kAttention,
                    QStringLiteral("%1 не является файлом базы данных (это папка, канал, устройство "
                                   "или ссылка на несуществующий файл).\nПрограмма будет закрыта.")
                        .arg(fileName),
                    MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    switch (lock.acquire(lockWaitMs)) {
    case CardBaseLock::Result::Held:
        return true;
    case CardBaseLock::Result::HeldByOther:
        showMessage(kAttention,
                    QStringLiteral("База данных %1 открыта в другой копии программы.\nЗакройте её и "
                                   "запустите программу снова.")
                        .arg(fileName),
                    MsgButtons::Ok, MsgIcon::Warning);
        return false;
    case CardBaseLock::Result::NoAccess:
    case CardBaseLock::Result::Failed:
        break;
    }
    showMessage(kAttention,
                QStringLiteral("Папка базы данных %1 недоступна для записи.\nИзменения не могут быть "
                               "сохранены.")
                    .arg(fileName),
                MsgButtons::Ok, MsgIcon::Warning);
    return true;
}

std::unique_ptr<CardStore> OpenStartupCardBase(const QStringList& arguments, bool chooseBase, CardBaseLock& lock) {
    const QString errorTitle = QStringLiteral("Ошибка");
    QString why;
    const QString location = chooseBase ? ChooseCardBase(arguments, kCardFileName, &why) : kCardFileName;
    if (location.isEmpty()) {
        showMessage(errorTitle, why, MsgButtons::Ok, MsgIcon::Error);
        return nullptr;
    }
    if (!IsCardBaseUri(location) && !ClaimCardBase(lock, location)) return nullptr;
    std::unique_ptr<CardStore> store = OpenCardStore(location, CardFileAccess::Held, &why);
    if (store) return store;
    // Without the server this computer's copy of the base can be worked on.
    QDateTime renewedAt;
    if (std::unique_ptr<CardStore> copy = OpenCardBaseCopy(location, &renewedAt, CardFileAccess::Held)) {
        if (askYesNo(kAttention,
                     kOpenBaseCopyQuestion.arg(why, renewedAt.toString(QStringLiteral("dd.MM.yyyy hh:mm")))))
            return copy;
        return nullptr;
    }
    showMessage(errorTitle, kCardBaseLostText.arg(why), MsgButtons::Ok, MsgIcon::Error);
    return nullptr;
}

} // namespace k8w
