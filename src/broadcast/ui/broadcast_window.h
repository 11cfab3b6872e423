#pragma once
// The broadcast's settings dialog ("配信の設定"): the server, its login and the stream's form. It edits the
// "broadcast-" keys of Korvex's own settings; the caller stores them when the dialog is accepted.

#include <QDialog>
#include <QMap>
#include <QString>

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace korvex::broadcast {

class BroadcastWindow : public QDialog {
public:
    // Shows `keys` (the settings file's "broadcast-" keys, without the prefix).
    explicit BroadcastWindow(const QMap<QString, QString>& keys, QWidget* parent = nullptr);
    // The keys as the dialog now shows them.
    QMap<QString, QString> keys() const;

    QLineEdit* server() const { return server_; }
    QSpinBox* port() const { return port_; }
    QLineEdit* mount() const { return mount_; }
    QLineEdit* user() const { return user_; }
    QLineEdit* password() const { return password_; }
    QComboBox* format() const { return format_; }
    QComboBox* bitrate() const { return bitrate_; }
    QComboBox* sampleRate() const { return rate_; }
    QComboBox* channels() const { return channels_; }
    QLineEdit* streamName() const { return name_; }
    QLineEdit* genre() const { return genre_; }

private:
    // The mount's ending follows the format chosen (".mp3", ".ogg", ".opus").
    void matchMountToFormat();

    QLineEdit* server_;
    QSpinBox* port_;
    QLineEdit* mount_;
    QLineEdit* user_;
    QLineEdit* password_;
    QComboBox* format_;
    QComboBox* bitrate_;
    QComboBox* rate_;
    QComboBox* channels_;
    QLineEdit* name_;
    QLineEdit* genre_;
};

}  // namespace korvex::broadcast
