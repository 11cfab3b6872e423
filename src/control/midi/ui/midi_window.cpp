#include "control/midi/ui/midi_window.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>
#include <algorithm>

#include "control/key_codes.h"

namespace korvex::midi {
namespace {

constexpr int kOperationRole = Qt::UserRole;
constexpr int kArgumentRole = Qt::UserRole + 1;

// The arguments an operation's rows take, each with its caption.
std::vector<std::pair<int, QString>> argumentsOf(ArgKind kind) {
    std::vector<std::pair<int, QString>> args;
    switch (kind) {
        case ArgKind::kNone:
            args.emplace_back(-1, QString());
            break;
        case ArgKind::kDeck:
            args.emplace_back(0, QStringLiteral("A"));
            args.emplace_back(1, QStringLiteral("B"));
            break;
        case ArgKind::kSlot:
            for (int slot = 0; slot < 8; ++slot) args.emplace_back(slot, QString::number(slot + 1));
            break;
        case ArgKind::kKey:
            for (int code = 1; code < 256; ++code)
                if (const QString name = keyNameOf(code); !name.isEmpty()) args.emplace_back(code, name);
            break;
    }
    return args;
}

QString describe(const LearnedControl& c, MessageKind kind) {
    switch (kind) {
        case MessageKind::kNote:
            return QStringLiteral("note %1 %2").arg(c.channel + 1).arg(c.number);
        case MessageKind::kCc:
            return QStringLiteral("cc %1 %2").arg(c.channel + 1).arg(c.number);
        case MessageKind::kCcRelative:
            return QStringLiteral("ccrel %1 %2").arg(c.channel + 1).arg(c.number);
        case MessageKind::kCc14:
            return QStringLiteral("cc14 %1 %2").arg(c.channel + 1).arg(c.number);
        case MessageKind::kPitchBend:
            return QStringLiteral("bend %1").arg(c.channel + 1);
    }
    return {};
}

}  // namespace

MidiWindow::MidiWindow(MidiSession& session, QWidget* parent) : QDialog(parent), session_(session) {
    setWindowTitle(QStringLiteral("MIDI 設定"));
    askSavePath = [this] {
        return QFileDialog::getSaveFileName(
            this, QStringLiteral("MIDI マッピングの保存"), QString(),
            QStringLiteral("MIDI マッピング (*.midimap);;すべてのファイル (*)"));
    };
    askOpenPath = [this] {
        return QFileDialog::getOpenFileName(
            this, QStringLiteral("MIDI マッピングを開く"), QString(),
            QStringLiteral("MIDI マッピング (*.midimap);;すべてのファイル (*)"));
    };
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(
        new QLabel(QStringLiteral("入力ポート（チェックしたものを開きます。すべて外すとすべて）")));
    ports_ = new QListWidget(this);
    ports_->setObjectName(QStringLiteral("midiPorts"));
    ports_->setMaximumHeight(90);
    outer->addWidget(ports_);
    QObject::connect(ports_, &QListWidget::itemChanged, this, [this] {
        QStringList chosen;
        for (int i = 0; i < ports_->count(); ++i)
            if (ports_->item(i)->checkState() == Qt::Checked) chosen << ports_->item(i)->text();
        if (chosen.size() == ports_->count()) chosen.clear();
        session_.ports().setChosenInputs(chosen);
        if (portsChosen) portsChosen(chosen);
    });

    auto* mappingRow = new QHBoxLayout;
    mapping_ = new QLabel(this);
    mapping_->setObjectName(QStringLiteral("midiMapping"));
    mappingRow->addWidget(mapping_, 1);
    load_ = new QPushButton(QStringLiteral("読み込み..."));
    generic_ = new QPushButton(QStringLiteral("標準に戻す"));
    save_ = new QPushButton(QStringLiteral("保存..."));
    for (QPushButton* b : {load_, generic_, save_}) mappingRow->addWidget(b);
    outer->addLayout(mappingRow);

    outer->addWidget(new QLabel(
        QStringLiteral("MIDI ラーン：操作を選んで「ラーン」を押し、コントローラーを動かします。")));
    operations_ = new QListWidget(this);
    operations_->setObjectName(QStringLiteral("midiOperations"));
    for (const Operation& op : session_.control().operations()) {
        for (const auto& [arg, caption] : argumentsOf(op.argument)) {
            const QString text = caption.isEmpty()
                                     ? QStringLiteral("%1（%2）").arg(op.caption, op.name)
                                     : QStringLiteral("%1 %2（%3 %2）").arg(op.caption, caption, op.name);
            auto* item = new QListWidgetItem(text, operations_);
            item->setData(kOperationRole, op.name);
            item->setData(kArgumentRole, arg);
        }
    }
    operations_->setMinimumSize(360, 220);
    outer->addWidget(operations_, 1);
    auto* learnRow = new QHBoxLayout;
    thisPort_ = new QCheckBox(QStringLiteral("この機器だけ"));
    thisPort_->setToolTip(QStringLiteral("動かしたコントロールの機器（ポートの名前）にだけ割り当てます。"));
    learn_ = new QPushButton(QStringLiteral("ラーン"));
    learn_->setObjectName(QStringLiteral("midiLearn"));
    learnRow->addWidget(thisPort_);
    learnRow->addStretch(1);
    learnRow->addWidget(learn_);
    outer->addLayout(learnRow);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("midiStatus"));
    outer->addWidget(status_);

    QObject::connect(learn_, &QPushButton::clicked, this, [this] { startLearning(); });
    // A click on an operation arms learning: the next control moved is bound to it.
    QObject::connect(operations_, &QListWidget::itemClicked, this, [this] { startLearning(); });
    QObject::connect(operations_, &QListWidget::itemDoubleClicked, this, [this] { startLearning(); });
    QObject::connect(save_, &QPushButton::clicked, this, [this] {
        const QString path = askSavePath ? askSavePath() : QString();
        if (path.isEmpty()) return;
        QSaveFile file(path);
        const QByteArray text =
            writeMapping(session_.control().mapping(), session_.control().catalog()).toUtf8();
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
            if (tell)
                tell(QStringLiteral(
                         "%1\nに MIDI "
                         "マッピングを保存できませんでした。フォルダーに書き込めるか確かめてください。")
                         .arg(path));
            return;
        }
        QString message;
        session_.loadMapping(path, message);
        if (mappingChosen) mappingChosen(session_.mappingPath());
        showState();
    });
    QObject::connect(load_, &QPushButton::clicked, this, [this] {
        const QString path = askOpenPath ? askOpenPath() : QString();
        if (path.isEmpty()) return;
        QString message;
        if (!session_.loadMapping(path, message)) {
            if (tell) tell(message);
            return;
        }
        if (mappingChosen) mappingChosen(session_.mappingPath());
        showState();
    });
    QObject::connect(generic_, &QPushButton::clicked, this, [this] {
        QString message;
        session_.loadMapping(QString(), message);
        if (mappingChosen) mappingChosen(QString());
        showState();
    });
    // Ports plugged in or out while the dialog is open show at once (the ports are looked at once a second).
    session_.onPortsChanged = [this] { showState(); };
    showState();
}

MidiWindow::~MidiWindow() {
    session_.onPortsChanged = nullptr;
    stopLearning();
}

void MidiWindow::showState() {
    {
        const QSignalBlocker quiet(ports_);
        ports_->clear();
        const QStringList open = session_.ports().openInputs();
        for (const QString& name : session_.ports().availableInputs()) {
            auto* item = new QListWidgetItem(name, ports_);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(open.contains(name) ? Qt::Checked : Qt::Unchecked);
        }
        if (ports_->count() == 0) ports_->addItem(QStringLiteral("MIDI 機器がありません"));
    }
    const QString path = session_.mappingPath();
    mapping_->setText(
        QStringLiteral("マッピング：%1")
            .arg(path.isEmpty() ? QStringLiteral("標準のマッピング") : QFileInfo(path).fileName()));
    mapping_->setToolTip(path);
}

void MidiWindow::startLearning() {
    QListWidgetItem* item = operations_->currentItem();
    if (item == nullptr) {
        status_->setText(QStringLiteral("操作を選んでください。"));
        return;
    }
    learning_ = item->data(kOperationRole).toString();
    learningArgument_ = item->data(kArgumentRole).toInt();
    status_->setText(
        QStringLiteral("「%1」：コントローラーのボタンかつまみを動かしてください。").arg(item->text()));
    session_.control().onLearn = [this](const LearnedControl& c) { learned(c); };
}

void MidiWindow::stopLearning() {
    session_.control().onLearn = nullptr;
    learning_.clear();
}

void MidiWindow::learned(const LearnedControl& c) {
    MidiControl& control = session_.control();
    const Operation* op = nullptr;
    for (const Operation& o : control.operations())
        if (o.name == learning_) op = &o;
    if (op == nullptr) return;
    // What the control sent decides the binding's kind together with what the operation takes.
    MessageKind kind = c.kind;
    if (c.kind == MessageKind::kCc && op->kind == Operation::Kind::kWheel) kind = MessageKind::kCcRelative;
    if ((c.kind == MessageKind::kNote && op->kind != Operation::Kind::kButton) ||
        (c.kind == MessageKind::kPitchBend && op->kind == Operation::Kind::kWheel)) {
        status_->setText(QStringLiteral("「%1」にはつまみかホイールを動かしてください。").arg(op->caption));
        return;
    }
    Mapping mapping = control.mapping();
    const QString port = thisPort_->isChecked() ? c.port : QString();
    // The control works this operation only from now on; the operation keeps its other controls.
    auto& bindings = mapping.bindings;
    bindings.erase(std::remove_if(bindings.begin(), bindings.end(),
                                  [&](const Binding& b) {
                                      const bool sameType =
                                          (b.kind == MessageKind::kNote) == (kind == MessageKind::kNote) &&
                                          (b.kind == MessageKind::kPitchBend) ==
                                              (kind == MessageKind::kPitchBend);
                                      return sameType && b.channel == c.channel && b.number == c.number &&
                                             (b.port.isEmpty() || port.isEmpty() || b.port == port);
                                  }),
                   bindings.end());
    Binding binding;
    binding.kind = kind;
    binding.channel = c.channel;
    binding.number = c.number;
    binding.operation = learning_;
    binding.argument = learningArgument_;
    binding.port = port;
    bindings.push_back(binding);
    control.setMapping(std::move(mapping));
    status_->setText(QStringLiteral("%1 → %2 を割り当てました。「保存...」でファイルに残せます。")
                         .arg(describe(c, kind),
                              operations_->currentItem() ? operations_->currentItem()->text() : learning_));
    stopLearning();
}

}  // namespace korvex::midi
