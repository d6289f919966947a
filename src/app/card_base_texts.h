#pragma once
// How the windows word what the card store reports.
#include <QString>

namespace k8w {

struct CardVersion;
struct ProgrammingNotice;

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

inline const QString kCardBaseOfflineText = QStringLiteral(
    "Нет связи с общей базой карточек: изменения карточек недоступны до восстановления связи.");
inline const QString kOpenBaseCopyQuestion = QStringLiteral(
    "Нет связи с общей базой карточек:\n%1\n\nОткрыть копию базы на этом компьютере от %2? В ней можно "
    "смотреть карточки и программировать устройства.");

// The conflict question with who changed the card and when.
QString CardConflictQuestion(const CardVersion& newer);
// What became of a programming result that waited on this computer.
QString ProgrammingNoticeText(const ProgrammingNotice& notice);

} // namespace k8w
