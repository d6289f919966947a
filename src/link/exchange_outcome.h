#pragma once
// The outcome of one write or read attempt, shared by the window's workers
// and by k8w-cli: the reason texts shown after "Причина:", the check of a
// read image, and what a successful write changes in its card.
#include <QString>

#include <cstdint>

namespace k8w::link {

inline const QString kProgFailedText = QStringLiteral("Программирование НЕ проведено!\n\nПричина:\n");
inline const QString kReadFailedText = QStringLiteral("СЧИТЫВАНИЕ НЕ ПРОИЗВЕДЕНО\n\nПричина:\n");
inline const QString kProgDoneText = QStringLiteral(
    "Программирование произведено успешно!\n\nВыключите УОО и снимите перемычку программирования.\n"
    "На ПЦН удалите и снова поставьте УОО на обслуживание!");
inline const QString kProgStoppedText = QStringLiteral(
    "Программирование ОСТАНОВЛЕНО! УОО R2 остался не запрограммированным.\n\nПроверьте, что перемычка "
    "программирования установлена,а 1-й вывод кабеля FTDI соответствует 1-му контакту на плате УОО R2. "
    "Передерните питание УОО и повторите попытку программирования.");
inline const QString kReadStoppedText = QStringLiteral("Считывание ОСТАНОВЛЕНО!");
inline const QString kEmptyCardText =
    QStringLiteral("Текущая запись НЕ СОДЕРЖИТ ДАННЫХ!\nВыберите запись с данными или создайте новую");
inline const QString kBadImageText = QStringLiteral("Получены неверные данные от УОО.");
// A card whose device version the utility cannot build an image for: nothing
// is written, so the device keeps its configuration.
inline const QString kUnsupportedVersionText = QStringLiteral(
    "Версия УОО, выбранная в текущей записи, не поддерживается.\nПрограммирование не будет проведено.");

enum class Exchange { Write, Read };

// The reason after "Причина:" for a failed Open (kOpenNoCable or kOpenFailed).
QString OpenFailureReason(int openResult);
// The reason for a Start result other than done and stopped.
QString StartFailureReason(Exchange exchange, int startResult);

// A read is accepted only when its bytes pass ImageCrc16 (0 over all of
// them, stored checksum included) and there are exactly 585 of them.
bool IsValidReadImage(const std::uint8_t* bytes, int length);


} // namespace k8w::link
