#pragma once
// While the card base waits for its server the window says so in its status
// bar, shows a busy cursor and takes no user input: a click, Escape or Enter
// would start a second action in the middle of the first.
#include <QObject>
#include <QString>

class QStatusBar;

namespace k8w {

class BaseWaitIndicator final : public QObject {
    Q_OBJECT
public:
    static inline const QString kWaitingText = QStringLiteral("Связь с общей базой…");

    explicit BaseWaitIndicator(QStatusBar& bar, QObject* parent = nullptr);
    ~BaseWaitIndicator() override;

    void setWaiting(bool waiting);
    bool isWaiting() const { return waiting_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QStatusBar& bar_;
    bool waiting_ = false;
};

} // namespace k8w
