#pragma once
// Enter pressed as a user presses it, with the keyboard focus on one control,
// and what shows whether that changed anything in a window.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <string>

namespace k8w::test {

// Return, and Enter of the keypad.
inline constexpr Qt::Key kEnterKeys[] = {Qt::Key_Return, Qt::Key_Enter};

inline const char* enterKeyName(Qt::Key key) { return key == Qt::Key_Enter ? "keypad Enter" : "Return"; }

// The control that takes the focus for `control`: a page control's tabs.
inline QWidget* focusTarget(QWidget* control) {
    if (auto* pages = qobject_cast<QTabWidget*>(control)) return pages->tabBar();
    return control;
}

// Gives the control the focus as Tab would and presses `key` there; false
// when the control cannot take the focus.
inline bool pressEnterOn(QWidget* control, Qt::Key key) {
    QWidget* target = focusTarget(control);
    QApplication::setActiveWindow(target->window());
    target->setFocus(Qt::TabFocusReason);
    if (QApplication::focusWidget() != target) return false;
    QTest::keyClick(target, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    return true;
}

// What each named control of a window shows: whether it is enabled and
// shown, and its text, choice, tick, page or current row.
inline QStringList controlStates(const QWidget& window) {
    QStringList states;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        const QString name = w->objectName();
        // Qt's own parts (a tab bar's scroll buttons among them) are not the window's.
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || qobject_cast<QTabBar*>(w->parentWidget()))
            continue;
        QString state = name + (w->isEnabled() ? QLatin1String(" on") : QLatin1String(" off")) +
                        (w->isVisibleTo(&window) ? QLatin1String(" shown: ") : QLatin1String(" hidden: "));
        if (auto* edit = qobject_cast<const QLineEdit*>(w))
            state += edit->text();
        else if (auto* combo = qobject_cast<const QComboBox*>(w))
            state += QString::number(combo->currentIndex());
        else if (auto* button = qobject_cast<const QAbstractButton*>(w))
            state += button->text() + (button->isChecked() ? QLatin1String(" [x]") : QLatin1String(" [ ]"));
        else if (auto* pages = qobject_cast<const QTabWidget*>(w))
            state += QString::number(pages->currentIndex());
        else if (auto* text = qobject_cast<const QPlainTextEdit*>(w))
            state += text->toPlainText();
        else if (auto* view = qobject_cast<const QAbstractItemView*>(w))
            state += QString::number(view->currentIndex().row());
        else if (auto* label = qobject_cast<const QLabel*>(w))
            state += label->text();
        states << state;
    }
    return states;
}

// The states that differ between two readings of controlStates, each as
// "before -> after"; empty when nothing changed.
inline std::string changedStates(const QStringList& before, const QStringList& after) {
    QStringList changes;
    for (qsizetype i = 0; i < std::max(before.size(), after.size()); ++i) {
        const QString was = i < before.size() ? before[i] : QString();
        const QString is = i < after.size() ? after[i] : QString();
        if (was != is) changes << was + QLatin1String(" -> ") + is;
    }
    return changes.join(QLatin1Char('\n')).toStdString();
}

// Notes every other window that gets shown and closes it at once, so that a
// modal window opened by mistake cannot hold the test.
class OtherWindowTrap final : public QObject {
public:
    explicit OtherWindowTrap(const QWidget& own) : own_(own) { qApp->installEventFilter(this); }
    ~OtherWindowTrap() override { qApp->removeEventFilter(this); }

    QStringList shown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
        auto* w = static_cast<QWidget*>(watched);
        if (w->isWindow() && w != &own_) {
            shown << QString::fromLatin1(w->metaObject()->className());
            QTimer::singleShot(0, w, &QWidget::close);
        }
        return false;
    }

private:
    const QWidget& own_;
};

} // namespace k8w::test
