#include "app/base_wait_indicator.h"

#include <QApplication>
#include <QEvent>
#include <QStatusBar>

namespace k8w {

BaseWaitIndicator::BaseWaitIndicator(QStatusBar& bar, QObject* parent) : QObject(parent), bar_(bar) {}

BaseWaitIndicator::~BaseWaitIndicator() { setWaiting(false); }

void BaseWaitIndicator::setWaiting(bool waiting) {
    if (waiting == waiting_) return;
    waiting_ = waiting;
    if (waiting) {
        qApp->installEventFilter(this);
        QApplication::setOverrideCursor(Qt::BusyCursor);
        bar_.showMessage(kWaitingText);
        return;
    }
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    if (bar_.currentMessage() == kWaitingText) bar_.clearMessage();
}

bool BaseWaitIndicator::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    case QEvent::Close:  // a window closed in the middle of its own call
        if (watched->isWidgetType()) {
            event->ignore();
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace k8w
