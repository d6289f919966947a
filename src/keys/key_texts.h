#pragma once
#include <QString>

namespace k8w::keys {

// Texts of the key windows, shared with k8w-cli.
inline const QString kReaderFailureText = QStringLiteral(
    "Ошибка устройства чтения ключа. Проверьте подключение считывателя и наличие драйверов 1Wire");
inline const QString kTouchKeyText = QStringLiteral(
    "Поднесите ключ touch-memory к считывателю несколько раз, пока индикатор не заполнится полностью");
inline const QString kKeyReadText = QStringLiteral("Ключ считан");
inline const QString kBadKeyCodeText = QStringLiteral("Введен неверный код ключа!");

} // namespace k8w::keys
