#include "broadcast/ui/broadcast_window.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "broadcast/on_air.h"

namespace korvex::broadcast {

namespace {

QComboBox* choices(QWidget* parent, const QStringList& captions, const QStringList& values,
                   const QString& chosen, const char* name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    for (qsizetype i = 0; i < captions.size(); ++i) box->addItem(captions[i], values[i]);
    const int at = box->findData(chosen);
    box->setCurrentIndex(at >= 0 ? at : 0);
    return box;
}

QLineEdit* line(QWidget* parent, const QString& text, const char* name) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

}  // namespace

BroadcastWindow::BroadcastWindow(const QMap<QString, QString>& keys, bool keyringAnswers, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("配信の設定"));
    QFont dialogFont(QStringLiteral("Noto Sans CJK JP"));
    dialogFont.setPointSize(9);
    setFont(dialogFont);
    // What the keys give, broken values already replaced by defaults.
    const stream::StreamSettings s = settingsFromKeys(keys);
    auto* form = new QFormLayout;
    protocol_ = choices(this, {QStringLiteral("Icecast 2"), QStringLiteral("Shoutcast")},
                        {QStringLiteral("icecast"), QStringLiteral("shoutcast")},
                        QString::fromLatin1(stream::protocolName(s.protocol)), "protocol");
    server_ = line(this, QString::fromStdString(s.host), "server");
    server_->setPlaceholderText(QStringLiteral("radio.example.org"));
    port_ = new QSpinBox(this);
    port_->setObjectName(QStringLiteral("port"));
    port_->setRange(1, 65535);
    port_->setValue(s.port);
    mount_ = line(this, QString::fromStdString(s.mount), "mount");
    user_ = line(this, QString::fromStdString(s.user), "user");
    password_ = line(this, QString::fromStdString(s.password), "password");
    password_->setEchoMode(QLineEdit::Password);
    passwordInKeyring_ = passwordInKeyring(keys);
    if (passwordInKeyring_) password_->setPlaceholderText(QStringLiteral("（キーリングに保管されています）"));
    passwordPlace_ = new QLabel(this);
    passwordPlace_->setObjectName(QStringLiteral("passwordPlace"));
    passwordPlace_->setWordWrap(true);
    passwordPlace_->setText(
        passwordInKeyring_ ? QStringLiteral("パスワードはデスクトップのキーリングにあります。")
        : keyringAnswers ? QStringLiteral("パスワードは OK でデスクトップのキーリングに保管します。")
                         : QStringLiteral("キーリングがないため、パスワードは korvex.ini "
                                          "に保存します（本人だけが読み書きできます）。"));
    format_ = choices(this, {QStringLiteral("MP3"), QStringLiteral("Ogg Vorbis"), QStringLiteral("Ogg Opus")},
                      {QStringLiteral("mp3"), QStringLiteral("ogg"), QStringLiteral("opus")},
                      QString::fromLatin1(stream::formatName(s.format)), "format");
    QStringList rates;
    for (int kbps : {64, 96, 128, 160, 192, 256, 320}) rates << QString::number(kbps);
    QStringList rateCaptions;
    for (const QString& r : rates) rateCaptions << r + QStringLiteral(" kbit/s");
    bitrate_ = choices(this, rateCaptions, rates, QString::number(s.bitrateKbps), "bitrate");
    rate_ = choices(
        this,
        {QStringLiteral("44100 Hz"), QStringLiteral("48000 Hz"), QStringLiteral("32000 Hz"),
         QStringLiteral("22050 Hz")},
        {QStringLiteral("44100"), QStringLiteral("48000"), QStringLiteral("32000"), QStringLiteral("22050")},
        QString::number(s.sampleRate), "samplerate");
    channels_ = choices(this, {QStringLiteral("ステレオ"), QStringLiteral("モノラル")},
                        {QStringLiteral("2"), QStringLiteral("1")}, QString::number(s.channels), "channels");
    name_ = line(this, QString::fromStdString(s.name), "name");
    genre_ = line(this, QString::fromStdString(s.genre), "genre");
    form->addRow(QStringLiteral("サーバーの種類"), protocol_);
    form->addRow(QStringLiteral("サーバー"), server_);
    form->addRow(QStringLiteral("ポート"), port_);
    form->addRow(QStringLiteral("マウントポイント"), mount_);
    form->addRow(QStringLiteral("ユーザー名"), user_);
    form->addRow(QStringLiteral("パスワード"), password_);
    form->addRow(QString(), passwordPlace_);
    form->addRow(QStringLiteral("形式"), format_);
    form->addRow(QStringLiteral("ビットレート"), bitrate_);
    form->addRow(QStringLiteral("サンプリング周波数"), rate_);
    form->addRow(QStringLiteral("チャンネル"), channels_);
    form->addRow(QStringLiteral("放送局名"), name_);
    form->addRow(QStringLiteral("ジャンル"), genre_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QObject::connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    QObject::connect(format_, &QComboBox::activated, this, [this] { matchMountToFormat(); });
    QObject::connect(protocol_, &QComboBox::currentIndexChanged, this, [this] { matchFormatToProtocol(); });
    matchFormatToProtocol();
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(form);
    outer->addWidget(buttons);
}

void BroadcastWindow::matchMountToFormat() {
    QString mount = mount_->text().trimmed();
    for (const char* ending : {".mp3", ".ogg", ".opus"}) {
        if (mount.endsWith(QLatin1String(ending), Qt::CaseInsensitive)) {
            mount.chop(static_cast<qsizetype>(std::char_traits<char>::length(ending)));
            break;
        }
    }
    if (mount.isEmpty()) mount = QStringLiteral("/live");
    mount_->setText(mount + QLatin1Char('.') + format_->currentData().toString());
}

void BroadcastWindow::matchFormatToProtocol() {
    const bool shoutcast = protocol_->currentData().toString() == QLatin1String("shoutcast");
    if (shoutcast && format_->currentData().toString() != QLatin1String("mp3")) {
        format_->setCurrentIndex(format_->findData(QStringLiteral("mp3")));
        matchMountToFormat();
    }
    format_->setEnabled(!shoutcast);
    format_->setToolTip(shoutcast ? QStringLiteral("Shoutcast サーバーへは MP3 だけを送れます。")
                                  : QString());
}

QMap<QString, QString> BroadcastWindow::keys() const {
    QMap<QString, QString> k;
    k[QStringLiteral("protocol")] = protocol_->currentData().toString();
    k[QStringLiteral("server")] = server_->text().trimmed();
    k[QStringLiteral("port")] = QString::number(port_->value());
    k[QStringLiteral("mount")] = mount_->text().trimmed();
    k[QStringLiteral("user")] = user_->text().trimmed();
    if (passwordInKeyring_ && !password_->isModified())
        k[QStringLiteral("keyring")] = QStringLiteral("true");
    else
        k[QStringLiteral("password")] = password_->text();
    k[QStringLiteral("format")] = format_->currentData().toString();
    k[QStringLiteral("bitrate")] = bitrate_->currentData().toString();
    k[QStringLiteral("samplerate")] = rate_->currentData().toString();
    k[QStringLiteral("channels")] = channels_->currentData().toString();
    k[QStringLiteral("name")] = name_->text().trimmed();
    k[QStringLiteral("genre")] = genre_->text().trimmed();
    return k;
}

}  // namespace korvex::broadcast
