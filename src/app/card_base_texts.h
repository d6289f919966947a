#pragma once
// How the windows word what the card store reports.
#include <QString>

namespace k8w {

struct CardVersion;

inline const QString kCardConflictQuestion = QStringLiteral(
    "Эту карточку уже изменил другой пользователь (%1, %2).\nЗаписать ваши изменения поверх?");
inline const QString kCardBaseReadOnlyText = QStringLiteral("Нет прав на изменение общей базы карточек.");
inline const QString kCardBaseLostText =
    QStringLiteral("Нет связи с общей базой карточек:\n%1\n\nИзменения не записаны.");
inline const QString kCardCodeTakenText = QStringLiteral("Такой код УО уже есть в базе");
inline const QString kDiskWriteErrorText = QStringLiteral("Ошибка записи на диск");
inline const QString kResultNotRecordable = QStringLiteral(
    "Результат программирования не может быть записан в файл базы данных (нет доступа на запись или "
    "недостаточно места на диске).\nПрограммирование не будет проведено.");

// The conflict question with who changed the card and when.
QString CardConflictQuestion(const CardVersion& newer);

} // namespace k8w
