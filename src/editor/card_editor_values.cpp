#include "editor/card_editor_values.h"

#include "cards/card.h"
#include "common/cp1251.h"
#include "editor/editor_rules.h"

namespace k8w {

CardEditorValues CardEditorValuesOf(const Card& card, bool codeShown) {
    CardEditorValues v;
    v.cardNumber = fieldText(card.cardNumber);
    v.codeUoo = codeShown ? QString::number(card.codeUoo) : QString();
    // The "Основные" tab in the order its fields were created.
    auto field = [&v](const char* name, const char16_t* hint, const QString& text) {
        v.mainTabFields.push_back({QString::fromLatin1(name), QString::fromUtf16(hint), text, true, true});
    };
    field("Pin1Edit", u"PIN1", fieldText(card.pin1));
    field("Ip1GsmEdit", u"IP Адрес ТК (WAN1)", fieldText(card.ip1Gsm));
    field("Port1GsmEdit", u"Порт ТК (WAN1)", fieldText(card.port1Gsm));
    field("APN1Edit", u"Точка доступа 1", fieldText(card.apn1));
    field("LoginGsm1Edit", u"", fieldText(card.loginGsm1));
    field("PassGsm1Edit", u"", fieldText(card.passGsm1));
    field("Pin2Edit", u"PIN2", fieldText(card.pin2));
    field("Ip2GsmEdit", u"IP Адрес ТК (WAN2)", fieldText(card.ip2Gsm));
    field("PassGsm2Edit", u"", fieldText(card.passGsm2));
    field("LoginGsm2Edit", u"", fieldText(card.loginGsm2));
    field("APN2Edit", u"Точка доступа 2", fieldText(card.apn2));
    field("Port2GsmEdit", u"Порт ТК (WAN2)", fieldText(card.port2Gsm));
    for (int i = 0; i < kEditorLoops; ++i) {
        v.cordType[i] = card.cordType[i];
        v.cordPart[i] = card.cordPart[i];
    }
    v.balEnable = (card.balFlags & kBalEnable) != 0;
    v.balCritical = QString::number(card.balCriticalLevel == 0 ? 10 : +card.balCriticalLevel);
    v.sendSms1 = (card.smsFlags & kSmsToNumber1) != 0;
    v.sendSms2 = (card.smsFlags & kSmsToNumber2) != 0;
    v.smsNumber1 = fieldText(card.smsNumber1);
    v.smsNumber2 = fieldText(card.smsNumber2);
    v.timePassEnabled = card.cordType[0] == kLoopEntry;
    v.timePass = QString::number(card.timePass);
    v.allowUpdate = (card.modeFlags & kModeAllowUpdate) != 0;
    v.ipUpdate = fieldText(card.ipUpdate);
    v.portUpdate = fieldText(card.portUpdate);
    v.portParams = fieldText(card.portParams);
    return v;
}

} // namespace k8w
