#pragma once
// The MIDI dialog ("MIDI 設定"), opened from the configuration dialog: which input ports are opened, which
// mapping is used, and MIDI learn (pick an operation, move a control, the binding is made; save the mapping
// to a file).

#include <QDialog>
#include <functional>

#include "control/midi/midi_session.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace korvex::midi {

class MidiWindow : public QDialog {
public:
    // The session must outlive the window.
    explicit MidiWindow(MidiSession& session, QWidget* parent = nullptr);
    ~MidiWindow() override;

    // Asks where to save the mapping ("" cancels) and which file to load; Qt's file dialogs unless replaced.
    std::function<QString()> askSavePath;
    std::function<QString()> askOpenPath;
    // The mapping file in use changed (saved or loaded; empty: the generic mapping): to keep in korvex.ini.
    std::function<void(const QString& path)> mappingChosen;
    // The chosen input ports changed (empty: every port).
    std::function<void(const QStringList& ports)> portsChosen;
    // Says something to the operator (a file that cannot be written or read).
    std::function<void(const QString& text)> tell;

    QListWidget* operationList() const { return operations_; }
    QListWidget* portList() const { return ports_; }
    QPushButton* learnButton() const { return learn_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* loadButton() const { return load_; }
    QPushButton* genericButton() const { return generic_; }
    QCheckBox* thisPortOnly() const { return thisPort_; }
    QLabel* status() const { return status_; }

    // Shows the ports and the mapping as they are now.
    void showState();

private:
    // Arms learning for the operation row picked.
    void startLearning();
    void learned(const LearnedControl& control);
    void stopLearning();

    MidiSession& session_;
    QListWidget* ports_ = nullptr;
    QListWidget* operations_ = nullptr;
    QPushButton* learn_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* load_ = nullptr;
    QPushButton* generic_ = nullptr;
    QCheckBox* thisPort_ = nullptr;
    QLabel* mapping_ = nullptr;
    QLabel* status_ = nullptr;
    // The operation and argument being learnt.
    QString learning_;
    int learningArgument_ = -1;
};

}  // namespace korvex::midi
