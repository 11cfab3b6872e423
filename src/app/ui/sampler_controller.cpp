#include "app/ui/sampler_controller.h"

#include "recorder/ui/recorder_window.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "base/file_names.h"

namespace korvex::app {

namespace {

// Mouse presses and drops on one slot label.
class SlotLabelFilter final : public QObject {
public:
    SlotLabelFilter(QObject* parent, sampler::SampleSlots& slots, int slot, std::function<void()> changed)
        : QObject(parent), slots_(slots), slot_(slot), changed_(std::move(changed)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
                slots_.textMouseDown(slot_, static_cast<QMouseEvent*>(event)->button() == Qt::RightButton);
                changed_();
                return true;
            case QEvent::DragEnter: {
                auto* enter = static_cast<QDragEnterEvent*>(event);
                if (enter->mimeData()->hasUrls()) enter->acceptProposedAction();
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                QStringList paths;
                for (const QUrl& url : drop->mimeData()->urls())
                    if (url.isLocalFile()) paths << base::localFileOf(url);
                drop->acceptProposedAction();
                slots_.drop(slot_, paths);
                changed_();
                return true;
            }
            default:
                return QObject::eventFilter(watched, event);
        }
    }

private:
    sampler::SampleSlots& slots_;
    int slot_;
    std::function<void()> changed_;
};

// What a slot label's tooltip says first, before the slot's effect entries.
QString slotHint() {
    return QStringLiteral("左ｸﾘｯｸでWAVEﾌｧｲﾙを読み込み、右ｸﾘｯｸで設定");
}

QString initErrorText() {
    return QStringLiteral(
        "DirectXが古いかインストールされていません。ＤｉｒｅｃｔＸ８．０以上が必要です。省略モードで起動しま"
        "す。");
}

}  // namespace

SamplerController::SamplerController(MainWindow& window, PlayerController& player, SlotSettings& slots)
    : window_(window), player_(player), effectDialogs_(&window) {
    slots_ = std::make_unique<sampler::SampleSlots>(
        slots.slotmode, slots.slotpath, std::array<DeckPlayer*, 2>{&player.player(0), &player.player(1)},
        player.dialogs(), player.dialogs());
    slots_->windows.showModeDialog = [this] { showModeDialog(); };
    slots_->windows.showSamplerDialog = [this] { showSamplerDialog(); };
    slots_->windows.unloadothers = [this] { unloadothers(); };
    slots_->windows.releasingBuffer = [this](const SoundBuffer* buffer) { effectDialogs_.closeDialogsOn(buffer); };

    // The sampler dialog's effect boxes, settings buttons and OK reach the slots' effect chains.
    effects_ = std::make_unique<sampler::SlotEffects>(
        slots_->effects(), [this](int slot) { return slots_->slotbuffer(slot); }, player.dialogs());
    effects_->showDialog = [this](dsp::EffectKind kind, SoundBuffer& buffer) { effectDialogs_.open(kind, buffer); };
    effects_->onListChanged = [this](int slot) { showEffects(slot); };
    slots_->effectHooks.onEffectToggled = [this](int slot, int, bool) { showEffects(slot); };
    slots_->effectHooks.onEffectSettings = [this](int slot, int) { effects_->openfxdialog(slot); };
    slots_->effectHooks.applyOnOk = [this](int slot) { effects_->applyslotfx(slot, false); };
    player.keyboard().setHooks(*slots_);
    connectLabels();
    refresh();
}

SamplerController::~SamplerController() {
    // The dialogs refer to the slots and their buffers.
    for (int slot = 0; slot < sampler::kSamplerSlots; ++slot) effectDialogs_.closeDialogsOn(slots_->slotbuffer(slot));
    effectDialogs_.closeAll();
    delete modeDialog_.data();
    delete samplerDialog_.data();
}

void SamplerController::connectLabels() {
    for (int slot = 0; slot < sampler::kSamplerSlots; ++slot) {
        QLabel* label = window_.label("Text1", slot);
        if (label == nullptr) continue;
        label->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        label->setAcceptDrops(true);
        label->setToolTip(slotHint());
        label->installEventFilter(new SlotLabelFilter(label, *slots_, slot, [this] { refresh(); }));
    }
}

void SamplerController::buildMenu(QMenu* file) {
    menu_ = file->addMenu(QStringLiteral("ｻﾝﾌﾟﾗｰ"));
    const QString digits = QStringLiteral("１２３４５６７８");
    for (int slot = 0; slot < sampler::kSamplerSlots; ++slot) {
        menu_->addAction(QStringLiteral("ｻﾝﾌﾟﾗｰ") + digits[slot], [this, slot] {
            slots_->loadByDialog(slot);
            refresh();
        });
    }
    menu_->addSeparator();
    menu_->addAction(QStringLiteral("ｻﾝﾌﾟﾗｰのｸﾘｱ"), [this] {
        slots_->clssamp();
        refresh();
    });
    menu_->setEnabled(slots_->dsready());
}

void SamplerController::initsound(bool& samplerenabled, appearance::ViewFlags& flags) {
    if (samplerenabled && !slots_->dsready() && makeDevice) slots_->setDevice(makeDevice());
    flags.dsready = samplerenabled && slots_->dsready();
    if (menu_ != nullptr) menu_->setEnabled(flags.dsready);
    // Without a way to make a device (a build without the sampler's engine) the view and the settings stay
    // as they are and nothing is said.
    if (flags.dsready || !makeDevice) return;
    flags.samplerview = false;
    // A device that could not be made switches the sampler off, so the saved settings keep it off.
    if (samplerenabled) {
        samplerenabled = false;
        player_.dialogs().inform(initErrorText(), QStringLiteral("初期化エラー"),
                                 base::MessageIcon::Information);
    }
}

void SamplerController::releasesound(appearance::ViewFlags& flags) {
    slots_->releasesound();
    flags.dsready = false;
}

void SamplerController::unloadothers() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget == &window_ || !widget->isVisible() || qobject_cast<QMenu*>(widget) != nullptr) continue;
        // Closing the recorder would throw away a recording in progress: it stays open.
        if (dynamic_cast<recorder::RecorderWindow*>(widget) != nullptr) continue;
        widget->close();
    }
}

void SamplerController::showEffects(int slot) {
    const QStringList& entries = slots_->effects().entries[static_cast<std::size_t>(slot)];
    window_.showEffectList(slot, entries);
    // The lists sit on the song-list panel out of sight; the slot's label tells its chain on hover, below
    // its hint.
    if (QLabel* label = window_.label("Text1", slot))
        label->setToolTip((QStringList{slotHint()} + entries).join(QLatin1Char('\n')));
}

void SamplerController::refresh() {
    if (slots_->revision() == shownRevision_) return;
    shownRevision_ = slots_->revision();
    for (int slot = 0; slot < sampler::kSamplerSlots; ++slot) {
        if (QLabel* label = window_.label("Text1", slot)) label->setText(slots_->caption(slot));
    }
}

void SamplerController::showModeDialog() {
    // A dialog closed before is on its way out; a new one takes its place.
    if (modeDialog_ == nullptr || !modeDialog_->isVisible()) {
        modeDialog_ = new sampler::ModeDialog(&window_);
        modeDialog_->onMode = [this](int mode) {
            slots_->selectmode(mode);
            refresh();
        };
    }
    modeDialog_->show();
    modeDialog_->raise();
    modeDialog_->activateWindow();
}

void SamplerController::showSamplerDialog() {
    delete samplerDialog_.data();
    samplerDialog_ = new sampler::SamplerDialog(*slots_, &window_);
    samplerDialog_->onSlotsChanged = [this] { refresh(); };
    samplerDialog_->show();
    samplerDialog_->raise();
    samplerDialog_->activateWindow();
}

}  // namespace korvex::app
