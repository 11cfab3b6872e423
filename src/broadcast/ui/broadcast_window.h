#pragma once
// The broadcast's settings dialog ("配信の設定"): the server, its login and the stream's form. It edits the
// "broadcast-" keys of Korvex's own settings; the caller stores them when the dialog is accepted.

#include <QDialog>
#include <QMap>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace korvex::broadcast {

class BroadcastWindow : public QDialog {
public:
    // Shows `keys` (the settings file's "broadcast-" keys, without the prefix); `keyringAnswers`: whether a
    // keyring is there to take the password (the dialog says where the password is kept).
    explicit BroadcastWindow(const QMap<QString, QString>& keys, bool keyringAnswers, QWidget* parent = nullptr);
    // The keys as the dialog now shows them. A password the keyring holds and that was not edited stays
    // there ("keyring" is "true" and no "password" key is given).
    QMap<QString, QString> keys() const;

    QComboBox* protocol() const { return protocol_; }
    QLineEdit* server() const { return server_; }
    QSpinBox* port() const { return port_; }
    QLineEdit* mount() const { return mount_; }
    QLineEdit* user() const { return user_; }
    QLineEdit* password() const { return password_; }
    QLabel* passwordPlace() const { return passwordPlace_; }
    QComboBox* format() const { return format_; }
    QComboBox* bitrate() const { return bitrate_; }
    QComboBox* sampleRate() const { return rate_; }
    QComboBox* channels() const { return channels_; }
    QLineEdit* streamName() const { return name_; }
    QLineEdit* genre() const { return genre_; }

private:
    // The mount's ending follows the format chosen (".mp3", ".ogg", ".opus").
    void matchMountToFormat();
    // Shoutcast takes MP3 only: the format follows the protocol.
    void matchFormatToProtocol();

    QComboBox* protocol_;
    QLineEdit* server_;
    QSpinBox* port_;
    QLineEdit* mount_;
    QLineEdit* user_;
    QLineEdit* password_;
    QLabel* passwordPlace_;
    bool passwordInKeyring_ = false;
    QComboBox* format_;
    QComboBox* bitrate_;
    QComboBox* rate_;
    QComboBox* channels_;
    QLineEdit* name_;
    QLineEdit* genre_;
};

}  // namespace korvex::broadcast
