#include "layout_checks.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <gtest/gtest.h>

namespace k8w::test {
namespace {

bool isOwnControl(const QWidget* w) {
    return !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"));
}

} // namespace

void expectReadable(QWidget& root, const char* where) {
    for (QWidget* child : root.findChildren<QWidget*>()) {
        if (!child->isVisible() || !child->parentWidget()) continue;
        const QString name = child->objectName();
        if (name.startsWith(QLatin1String("qt_"))) continue;
        const QRect inParent = child->parentWidget()->rect();
        if (!qobject_cast<QAbstractScrollArea*>(child->parentWidget()) &&
            !child->parentWidget()->inherits("QStackedWidget") && !name.isEmpty()) {
            EXPECT_TRUE(inParent.contains(child->geometry())) << where << " " << name.toStdString() << " sticks out";
        }
        const QFontMetrics fm = child->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(child); label && !label->wordWrap() && !label->text().isEmpty()) {
            EXPECT_LE(fm.horizontalAdvance(label->text()), label->contentsRect().width())
                << where << " " << name.toStdString() << ": " << label->text().toStdString();
        } else if (auto* label = qobject_cast<QLabel*>(child); label && label->wordWrap()) {
            EXPECT_LE(label->heightForWidth(label->width()), label->height()) << where << " " << name.toStdString();
        } else if (auto* box = qobject_cast<QCheckBox*>(child)) {
            EXPECT_LE(box->sizeHint().width(), box->width()) << where << " " << name.toStdString();
            // A caption set on two lines needs the height of both.
            EXPECT_LE(box->sizeHint().height(), box->height() + 1) << where << " " << name.toStdString();
        } else if (auto* button = qobject_cast<QPushButton*>(child)) {
            EXPECT_LE(fm.horizontalAdvance(button->text()) + 12, button->width()) << where << " " << name.toStdString();
        } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
            EXPECT_LE(fm.horizontalAdvance(group->title()) + 12, group->width()) << where << " " << name.toStdString();
        } else if (auto* combo = qobject_cast<QComboBox*>(child)) {
            EXPECT_LE(combo->sizeHint().width(), combo->width() + 40) << where << " " << name.toStdString();
        }
    }
}

void expectApart(QWidget& root, const char* where) {
    for (QWidget* a : root.findChildren<QWidget*>()) {
        if (!a->isVisible() || !isOwnControl(a)) continue;
        for (QObject* other : a->parent()->children()) {
            auto* b = qobject_cast<QWidget*>(other);
            if (!b || b == a || !b->isVisible() || !isOwnControl(b) || b->isWindow()) continue;
            const QRect ra = a->geometry(), rb = b->geometry();
            if (ra.contains(rb) || rb.contains(ra)) continue;
            EXPECT_FALSE(ra.intersects(rb)) << where << " " << a->objectName().toStdString() << " overlaps "
                                            << b->objectName().toStdString();
        }
    }
}

void expectChoicesShowWhole(QWidget& root, const char* where) {
    for (QComboBox* combo : root.findChildren<QComboBox*>()) {
        if (!combo->isVisible() || !isOwnControl(combo)) continue;
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.rect = combo->rect();
        const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                           QStyle::SC_ComboBoxEditField, combo);
        EXPECT_LE(combo->fontMetrics().horizontalAdvance(combo->currentText()), field.width())
            << where << " " << combo->objectName().toStdString() << ": " << combo->currentText().toStdString();
    }
}

} // namespace k8w::test
