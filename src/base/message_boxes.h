#pragma once
// The operator's message boxes as the models ask for them.
//
// A model decides what to say and what to do with the answer; the window layer shows the box (QMessageBox)
// and tests answer with a fake. Texts, titles, icons and buttons are the program's own and are passed
// exactly as they are to be shown.

#include <QString>

namespace korvex::base {

enum class MessageIcon { None, Information, Question, Warning, Critical };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box and returns the button pressed. An empty title means the program's own title. A box
    // closed without a button answers Cancel when it has one, else No (Yes/No) or Ok.
    virtual MessageAnswer ask(const QString& text, const QString& title, MessageButtons buttons,
                              MessageIcon icon) = 0;
    // Shows a modal box with an OK button only.
    virtual void inform(const QString& text, const QString& title, MessageIcon icon) = 0;
};

}  // namespace korvex::base
