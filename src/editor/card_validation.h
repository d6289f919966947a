#pragma once
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace k8w {

struct CardTable;

// One control of the "Основные" tab as the checks see it, in creation order.
struct MainTabField {
    QString name;             // objectName, e.g. "Pin1Edit"
    QString hint;             // how failure lists name it, e.g. "PIN1"; empty if none
    QString text;
    bool enabled = true;      // the control itself is enabled
    bool plainEdit = true;    // a plain edit field (check boxes and labels are not)
};

// A snapshot of the editor fields that the save checks read.
struct CardEditorValues {
    QString cardNumber;                  // NCardEdit
    QString codeUoo;                     // CodeUoo
    QList<MainTabField> mainTabFields;   // MainGSM_Sheet controls, creation order
    int cordType[5] = {};                // item index of Cord1..Cord5
    int cordPart[5] = {};                // item index of Cord1Part..Cord5Part
    bool balEnable = false;
    QString balCritical;
    QString balPhoneSim1, balPhoneSim2;
    bool sendSms1 = false, sendSms2 = false;
    QString smsNumber1, smsNumber2;
    bool timePassEnabled = false;
    QString timePass;
    bool allowUpdate = false;
    QString ipUpdate, portUpdate;
    QString portParams;
    bool resPcn = false;
    QString ip1Res, ip2Res, port1Res, port2Res;
};

inline const QString kValidationTitle = QStringLiteral("Внимание!");

// Runs the twelve save checks in order. Returns the text of the warning of
// the first check that fails (shown with the title "Внимание!" and an OK
// button), or nothing when the card may be saved. `currentCard` is skipped by
// the unique-code check.
std::optional<QString> ValidateCardEditor(const CardEditorValues& values, const CardTable& table,
                                          int currentCard);

// The same with the unique-code check asking `codeTaken` whether another
// card in use holds the code (for checking many cards against one table).
using CodeTaken = std::function<bool(long long code)>;
std::optional<QString> ValidateCardEditor(const CardEditorValues& values, const CodeTaken& codeTaken);

} // namespace k8w
