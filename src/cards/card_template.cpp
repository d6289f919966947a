#include "cards/card_template.h"

#include <cstring>

namespace k8w {

Card MakeCardTemplate(const Card& card) {
    Card t{};
    std::memcpy(&t, &card, 583);
    std::memset(t.reserved437, 0, sizeof t.reserved437);
    t.codeUoo = 0;
    std::memset(t.pin1, 0, sizeof t.pin1);
    std::memset(t.pin2, 0, sizeof t.pin2);
    std::memset(t.smsNumber1, 0, sizeof t.smsNumber1);
    std::memset(t.smsNumber2, 0, sizeof t.smsNumber2);
    std::memset(t.smsObjName, 0, sizeof t.smsObjName);
    t.smsFlags = 0;
    for (int loop = 0; loop < 5; ++loop) {
        t.cordType[loop] &= 0x0F;
        t.cordPart[loop] = 0;
    }
    std::memset(static_cast<void*>(t.keys), 0, sizeof t.keys);
    return t;
}

} // namespace k8w
