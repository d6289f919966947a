#pragma once
// How the windows word what the card store reports.
#include <QDateTime>
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
// The status bar: which base is open and, for a shared one, its state.
inline const QString kFileBaseStatus = QStringLiteral("База данных: %1");
inline const QString kSharedBaseStatus = QStringLiteral("Общая база: %1 — %2");
inline const QString kBaseConnected = QStringLiteral("связь есть");
inline const QString kBaseReconnecting = QStringLiteral("восстановление связи");
inline const QString kBaseOffline = QStringLiteral("нет связи");
// After the state, while programming results wait on this computer.
inline const QString kResultsWaitingStatus = QStringLiteral("; не отправлено результатов: %1");
// Who last changed the card shown, on a base that keeps its history.
inline const QString kCardChangedText = QStringLiteral("Изменено: %1, %2");

// A result sent later from this computer's journal: the revision programmed.
inline const QString kProgrammedRevisionKind = QStringLiteral("программирование версии %1");

// "Изменено: who, when" of a version; empty when the base did not say.
QString CardChangedText(const CardVersion& version);
// A kind of change in the history ("save", "program"...) as the window names it.
QString CardChangeKindText(const QString& kind);
// The time of a change as the window shows it.
QString CardChangeTimeText(const QDateTime& at);

} // namespace k8w
