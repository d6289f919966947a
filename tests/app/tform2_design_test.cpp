// The read results view as designed.
#include "app/tform2.h"

#include "cards/config_image.h"
#include "link/image_view_fields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace k8w::test {
namespace {

class ReadViewDesign : public ::testing::Test {
protected:
    TForm2 view;

    template <typename T = QWidget> T* find(const char* name) {
        T* w = view.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLabel* labelWithText(const char* parent, const QString& text) {
        for (QLabel* label : find(parent)->findChildren<QLabel*>())
            if (label->text() == text) return label;
        return nullptr;
    }
};

TEST_F(ReadViewDesign, WindowGroupsAndButton) {
    EXPECT_EQ(view.windowTitle(), QStringLiteral("Считанные данные"));
    EXPECT_EQ(view.minimumSize(), QSize(1029, 407));
    EXPECT_EQ(view.maximumSize(), QSize(1029, 407));
    const struct {
        const char* name;
        const char16_t* title;
        QRect place;
    } groups[] = {
        {"GroupBox1", u"", {8, 2, 773, 38}},
        {"GroupBox3", u"Режимы работы", {8, 42, 261, 164}},
        {"GroupBox2", u"Шлейфы", {6, 208, 261, 179}},
        {"GroupBox5", u"Настройки GSM", {273, 42, 249, 326}},
        {"GroupBox7", u"Выходы УОО", {528, 42, 253, 90}},
        {"GroupBox6", u"Дополнительная информация", {528, 139, 253, 67}},
        {"GroupBox10", u"SMS", {527, 206, 254, 194}},
        {"GroupBox4", u"Баланс", {786, 42, 237, 262}},
    };
    for (const auto& g : groups) {
        EXPECT_EQ(find<QGroupBox>(g.name)->title(), QString::fromUtf16(g.title)) << g.name;
        EXPECT_EQ(find(g.name)->geometry(), g.place) << g.name;
        EXPECT_EQ(find(g.name)->parentWidget(), &view) << g.name;
    }
    EXPECT_EQ(find<QPushButton>("Button1")->text(), QStringLiteral("Закрыть"));
    EXPECT_EQ(find("Button1")->geometry(), QRect(305, 374, 185, 29));

    view.show();
    QGroupBox* doubling = nullptr;
    for (QGroupBox* g : view.findChildren<QGroupBox*>())
        if (g->title() == QStringLiteral("Дублирование")) doubling = g;
    ASSERT_NE(doubling, nullptr);
    EXPECT_FALSE(doubling->isVisible());
    for (const char* hidden : {"CordLabel5", "Cord6", "Cord7", "Cord8"}) EXPECT_FALSE(find(hidden)->isVisible()) << hidden;
    view.hide();
}

TEST_F(ReadViewDesign, CaptionsAndLabels) {
    const std::pair<const char*, const char16_t*> checks[] = {
        {"IndicZU", u"Выключить индикацию СТМ"},
        {"powerCtrlOffCheck", u"Выключить контроль 220В"},
        {"oneColorIndicCheck", u"Одноцветная индикация на СТМ"},
        {"caseCtrlOffCheck", u"Выключить контроль открытия крышки"},
        {"allowUpdateCheck", u"Разрешить обновление прошивки"},
        {"use1961Check", u"Использовать ключи DS1961S"},
        {"sendSMS1Check", u"Номер 1"},
        {"sendSMS2Check", u"Номер 2"},
        {"saveSMSCheck", u"Сохранять SMS в памяти телефона"},
        {"smsGuardModeCheck", u"Снятия / Постановки"},
        {"smsAlarmCheck", u"Тревога"},
        {"smsFireCheck", u"Пожар"},
        {"smsKtcCheck", u"Вызов КТС"},
    };
    for (const auto& [name, text] : checks)
        EXPECT_EQ(find<QCheckBox>(name)->text(), QString::fromUtf16(text)) << name;
    // The long caption is set on two lines to fit its group.
    EXPECT_EQ(find<QCheckBox>("balSendPcnCheck")->text().replace(QLatin1Char('\n'), QLatin1Char(' ')),
              QStringLiteral("Отправлять извещение о критическом балансе на ПЦН"));

    const std::pair<const char*, const char16_t*> labels[] = {
        {"GroupBox1", u"Имя карточки в базе ПЦН"},
        {"GroupBox1", u"Код УО в базе ПЦН:"},
        {"GroupBox1", u"ВЕРСИЯ УО"},
        {"GroupBox2", u"Шлейф 1"},
        {"GroupBox2", u"Шлейф 4"},
        {"GroupBox2", u"Время задержки на входной шлейф"},
        {"GroupBox2", u"сек"},
        {"GroupBox5", u"PIN1"},
        {"GroupBox5", u"IP назначения 1"},
        {"GroupBox5", u"Порт назначения 1"},
        {"GroupBox5", u"Точка доступа 1"},
        {"GroupBox5", u"Логин 1"},
        {"GroupBox5", u"Пароль 1"},
        {"GroupBox5", u"PIN2"},
        {"GroupBox5", u"IP назначения 2"},
        {"GroupBox5", u"Порт назначения 2"},
        {"GroupBox5", u"Точка доступа 2"},
        {"GroupBox5", u"Логин 2"},
        {"GroupBox5", u"Пароль 2"},
        {"GroupBox6", u"Результат программирования (ID)"},
        {"GroupBox6", u"Время пр-я:"},
        {"GroupBox10", u"Название объекта "},
        {"GroupBox4", u"Критический уровень баланса (руб)"},
        {"GroupBox4", u"Код запроса баланса для SIM1"},
        {"GroupBox4", u"Код запроса баланса для SIM2"},
        {"Out1Sheet", u"Профиль:"},
        {"Out2Sheet", u"Профиль:"},
        {"BuzzerSheet", u"Профиль:"},
    };
    for (const auto& [parent, text] : labels)
        EXPECT_NE(labelWithText(parent, QString::fromUtf16(text)), nullptr) << QString::fromUtf16(text).toStdString();

    bool eventTypes = false;
    for (QGroupBox* g : find("GroupBox10")->findChildren<QGroupBox*>())
        eventTypes = eventTypes || (g->title() == QStringLiteral("Типы событий ") && g->isAncestorOf(find("smsKtcCheck")));
    EXPECT_TRUE(eventTypes);

    auto* pages = find<QTabWidget>("PageControl2");
    ASSERT_EQ(pages->count(), 3);
    const char16_t* titles[] = {u"Out1", u"Out2", u"Зуммер"};
    for (int page = 0; page < 3; ++page) {
        EXPECT_EQ(pages->tabText(page), QString::fromUtf16(titles[page]));
        EXPECT_EQ(pages->widget(page)->findChild<QComboBox*>(QStringLiteral("RelayComboBox%1").arg(page + 1))
                      ->parentWidget(),
                  pages->widget(page));
    }
    EXPECT_EQ(find<QLineEdit>("versionEdit")->text(), QStringLiteral("Н/Д"));
    EXPECT_TRUE(find<QLineEdit>("ProgID1")->isReadOnly());
}

TEST_F(ReadViewDesign, EveryMappedControlHasTheKindAndListOfItsField) {
    for (const link::ViewField& field : link::ViewFields()) {
        QWidget* control = view.findChild<QWidget*>(field.control);
        ASSERT_NE(control, nullptr) << field.control.toStdString();
        switch (field.kind) {
        case link::ViewFieldKind::Choice: {
            auto* box = qobject_cast<QComboBox*>(control);
            ASSERT_NE(box, nullptr) << field.control.toStdString();
            QStringList items;
            for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
            EXPECT_EQ(items, *field.items) << field.control.toStdString();
            break;
        }
        case link::ViewFieldKind::Check:
            EXPECT_NE(qobject_cast<QCheckBox*>(control), nullptr) << field.control.toStdString();
            break;
        case link::ViewFieldKind::BuildDate:
            EXPECT_NE(qobject_cast<QLabel*>(control), nullptr) << field.control.toStdString();
            break;
        default: {
            // No length limit: a stored value is never cut when shown.
            auto* edit = qobject_cast<QLineEdit*>(control);
            ASSERT_NE(edit, nullptr) << field.control.toStdString();
            EXPECT_GE(edit->maxLength(), static_cast<int>(kImageSize)) << field.control.toStdString();
        }
        }
    }
}

} // namespace
} // namespace k8w::test
