#include "app/card_base_claim.h"

#include "cards/card_base.h"
#include "cards/card_file.h"
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

} // namespace k8w
