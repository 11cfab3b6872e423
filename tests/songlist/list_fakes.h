#pragma once
// Test stand-ins for the list file, list editing and memory operations: message boxes that answer as told
// and a popup menu host that chooses as told, each recording what it was asked; and a full disk.

#include <sys/resource.h>

#include <QString>
#include <QStringList>
#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "control/list_editor.h"
#include "base/message_boxes.h"
#include "support/fake_deck_player.h"

namespace korvex::songlist::testing {

// One message box as it was shown.
struct ShownBox {
    QString text;
    QString title;
    base::MessageButtons buttons;
    base::MessageIcon icon;
};

// Answers every question with `answer`.
class FakeMessages final : public base::MessageBoxes {
public:
    base::MessageAnswer ask(const QString& text, const QString& title, base::MessageButtons buttons,
                      base::MessageIcon icon) override {
        shown.push_back({text, title, buttons, icon});
        return answer;
    }
    void inform(const QString& text, const QString& title, base::MessageIcon icon) override {
        shown.push_back({text, title, base::MessageButtons::Ok, icon});
    }
    // The texts shown, in order.
    QStringList texts() const {
        QStringList all;
        for (const ShownBox& box : shown) all << box.text;
        return all;
    }

    base::MessageAnswer answer = base::MessageAnswer::Yes;
    std::vector<ShownBox> shown;
};

// Chooses `choice` from every menu shown (nothing = dismissed) and keeps the menus' names.
class FakePopupHost final : public control::PopupMenuHost {
public:
    std::optional<control::ListCommand> showPopup(int deck, const control::PopupMenu& menu) override {
        shown.push_back(QString::number(deck) + u' ' + menu.name);
        return choice;
    }

    std::optional<control::ListCommand> choice;
    QStringList shown;
};

// Lowers the file size limit while it lives, so writes past it fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace korvex::songlist::testing
