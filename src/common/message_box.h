#pragma once
#include <QString>

namespace k8w {

// The title of the program's warnings and questions.
inline const QString kAttention = QStringLiteral("Внимание");

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgAnswer { Ok, Yes, No };

struct MessageRequest {
    QString title;
    QString text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    bool systemModal = false;
};

// The one seam through which every message box of the program goes. The
// windows install a backend with real message boxes; tests install a
// recorder that answers questions and keeps what was shown.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer show(const MessageRequest& request) = 0;
};

// Installs the backend used by showMessage(); nullptr restores the default,
// which prints to stderr and answers No to questions.
void setMessageBoxes(MessageBoxes* boxes);
MessageBoxes& messageBoxes();

MsgAnswer showMessage(const QString& title, const QString& text,
                      MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                      bool systemModal = false);

// A question with Yes and No; true only for Yes.
bool askYesNo(const QString& title, const QString& text);

} // namespace k8w
