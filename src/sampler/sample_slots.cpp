#include "sampler/sample_slots.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

#include "base/file_names.h"
#include "platform/decode/decoder.h"

namespace korvex::sampler {

namespace {

using base::MessageIcon;

QString cannotLoadTitle() {
    return QStringLiteral("読み込めません");
}
QString tooShortForEffectsText() {
    return QStringLiteral("ﾌｧｲﾙの長さがエフェクトをかけるには短すぎます。もっと長いﾌｧｲﾙにしてください。");
}
QString dropFailedText() {
    return QStringLiteral("ファイルが読み込めません。");
}

// Why the wave file `path` cannot be made into a sound, with what to do (Japanese, one or more lines).
QString waveProblem(const QString& path) {
    decode::Refusal why;
    if (!decode::checkOrdinaryFile(base::fileNameString(path), why))
        return QString::fromStdString(decode::japaneseText(why) + "\n" + decode::japaneseAdvice(why));
    return QStringLiteral(
        "WAVE ファイルとして読めないか、壊れています。\n別の WAVE ファイルを選んでください。");
}

// The program's text `text`, then the file and why it cannot be loaded.
QString withFile(const QString& text, const QString& path) {
    return text + u'\n' + base::readableFileName(path) + u'\n' + waveProblem(path);
}

// "3:kick.wav": the slot number, a colon and the file's name.
QString slotCaption(int slot, const QString& path) {
    return emptyCaption(slot) + base::readableTitleOf(path);
}

}  // namespace

unsigned slotCaps(int mode) {
    switch (mode) {
        case kSampler3D:
            return kCtrlVolume | kCtrlFrequency | kCtrl3D;
        case kEffecter3D:
            return kCtrlVolume | kCtrlFx | kCtrl3D;
        case kEffecter:
            return kCtrlVolume | kCtrlFx | kCtrlPan;
        default:
            return kCtrlVolume | kCtrlFrequency | kCtrlPan;
    }
}

QString emptyCaption(int slot) {
    return QString::number(slot + 1) + QLatin1Char(':');
}

QString samplerDialogFolder(const QString& soundsFolder) {
    return QFileInfo(soundsFolder).isDir() ? soundsFolder : QDir::homePath();
}

SampleSlots::SampleSlots(std::array<int, kSamplerSlots>& slotmode,
                         std::array<QString, kSamplerSlots>& slotpath, std::array<DeckPlayer*, 2> decks,
                         songlist::FileDialogs& files, base::MessageBoxes& messages)
    : slotmode_(slotmode), slotpath_(slotpath), decks_(decks), files_(files), messages_(messages) {
    for (int slot = 0; slot < kSamplerSlots; ++slot) captions_[at(slot)] = emptyCaption(slot);
    dialog_.filter = QStringLiteral("Wave Files (*.wav)|*.wav");
}

SampleSlots::~SampleSlots() {
    // The buffers go before the device they were made on.
    for (auto& buffer : slotbuffer_) buffer.reset();
}

void SampleSlots::setDevice(std::unique_ptr<SoundDevice> device) {
    for (auto& buffer : slotbuffer_) {
        if (buffer && windows.releasingBuffer) windows.releasingBuffer(buffer.get());
        buffer.reset();
    }
    slot3dbuffer_ = {};
    device_ = std::move(device);
    touch();
}

// --- state ------------------------------------------------------------------------------------------------

SoundBuffer* SampleSlots::slotbuffer(int slot) const {
    return valid(slot) ? slotbuffer_[at(slot)].get() : nullptr;
}

int SampleSlots::slotmode(int slot) const {
    return valid(slot) ? slotmode_[at(slot)] : 0;
}

const QString& SampleSlots::slotpath(int slot) const {
    static const QString none;
    return valid(slot) ? slotpath_[at(slot)] : none;
}

int SampleSlots::slotloop(int slot) const {
    return valid(slot) ? slotloop_[at(slot)] : 0;
}

void SampleSlots::setSlotloop(int slot, int value) {
    if (valid(slot)) slotloop_[at(slot)] = value;
}

int SampleSlots::slotsilencer(int slot) const {
    return valid(slot) ? slotsilencer_[at(slot)] : 0;
}

void SampleSlots::setSlotsilencer(int slot, int value) {
    if (valid(slot)) slotsilencer_[at(slot)] = value;
}

bool SampleSlots::slotprelisten(int slot) const {
    return valid(slot) && slotprelisten_[at(slot)];
}

void SampleSlots::setSlotprelisten(int slot, bool on) {
    if (!valid(slot)) return;
    slotprelisten_[at(slot)] = on;
    if (slotbuffer_[at(slot)]) slotbuffer_[at(slot)]->setPrelisten(on);
    touch();
}

int SampleSlots::slotlooping(int slot) const {
    return valid(slot) ? slotlooping_[at(slot)] : 0;
}

SoundBuffer3D* SampleSlots::slot3dbuffer(int slot) const {
    return valid(slot) ? slot3dbuffer_[at(slot)] : nullptr;
}

void SampleSlots::setSlot3dbuffer(int slot, SoundBuffer3D* buffer) {
    if (valid(slot)) slot3dbuffer_[at(slot)] = buffer;
}

const QString& SampleSlots::caption(int slot) const {
    static const QString none;
    return valid(slot) ? captions_[at(slot)] : none;
}

void SampleSlots::setCaption(int slot, const QString& caption) {
    if (!valid(slot)) return;
    captions_[at(slot)] = caption;
    touch();
}

// --- loading ----------------------------------------------------------------------------------------------

void SampleSlots::textMouseDown(int slot, bool rightButton) {
    if (!valid(slot)) return;
    if (!rightButton) {
        loadByDialog(slot);
        return;
    }
    if (!slotbuffer_[at(slot)]) return;
    currentslot = slot;
    if (windows.unloadothers) windows.unloadothers();
    if (windows.showSamplerDialog) windows.showSamplerDialog();
}

void SampleSlots::loadByDialog(int slot) {
    if (!valid(slot)) return;
    if (dialog_.initialFolder.isEmpty()) dialog_.initialFolder = samplerDialogFolder();
    dialog_.fileName.clear();
    if (!files_.showOpen(dialog_)) return;
    const QString chosen = dialog_.fileName;
    dialog_.initialFolder = songlist::dirOf(chosen);
    loadpath = chosen;
    slotpath_[at(slot)] = chosen;
    setCaption(slot, slotCaption(slot, chosen));
    // A looping buffer reports more than 1 and plays on until the new buffer replaces it.
    if (SoundBuffer* buffer = slotbuffer_[at(slot)].get(); buffer != nullptr && buffer->status() == 1)
        buffer->stop();
    if (windows.unloadothers) windows.unloadothers();
    currentslot = slot;
    if (windows.showModeDialog) windows.showModeDialog();
}

void SampleSlots::drop(int slot, const QStringList& paths) {
    if (!valid(slot) || paths.isEmpty()) return;
    const QString& path = paths.first();
    if (!path.endsWith(QStringLiteral(".wav"), Qt::CaseSensitive)) return;
    // A name that ends in ".wav" but is no file (a folder, a vanished file) cannot be loaded.
    if (!base::isPlainFile(path)) {
        messages_.inform(withFile(dropFailedText(), path), QString(), MessageIcon::None);
        return;
    }
    loadpath = path;
    slotpath_[at(slot)] = path;
    setCaption(slot, slotCaption(slot, path));
    currentslot = slot;
    if (windows.showModeDialog) windows.showModeDialog();
}

std::unique_ptr<SoundBuffer> SampleSlots::makeBuffer(const QString& path, int& mode, SoundError& firstError) {
    firstError = SoundError::Other;
    if (!device_) return nullptr;
    const std::string file = base::fileNameString(path);
    std::unique_ptr<SoundBuffer> buffer =
        device_->createSoundBufferFromFile(file, slotCaps(mode), &firstError);
    if (buffer || firstError != SoundError::InvalidArgument || (mode != kSampler3D && mode != kEffecter3D))
        return buffer;
    // The file cannot have 3D (it is not mono): the same mode with pan instead.
    mode += 2;
    SoundError retryError = SoundError::None;
    return device_->createSoundBufferFromFile(file, slotCaps(mode), &retryError);
}

void SampleSlots::selectmode(int mode) {
    if (!valid(currentslot)) return;
    const int slot = currentslot;
    int chosen = mode == kEffecter3D ? kEffecter3D : kSampler3D;
    slotmode_[at(slot)] = chosen;
    SoundError firstError = SoundError::None;
    std::unique_ptr<SoundBuffer> buffer = makeBuffer(loadpath, chosen, firstError);
    slotmode_[at(slot)] = chosen;
    if (buffer) {
        installBuffer(slot, std::move(buffer));
        return;
    }
    if (firstError == SoundError::BufferTooSmall)
        cannotLoad(tooShortForEffectsText());
    else
        cannotLoad(cannotLoadText(loadpath));
}

bool SampleSlots::loadslot(int slot, int mode, const QString& path) {
    if (!valid(slot) || !device_ || path.isEmpty()) return false;
    int chosen = mode >= kSampler3D && mode <= kEffecter ? mode : kSampler3D;
    SoundError firstError = SoundError::None;
    std::unique_ptr<SoundBuffer> buffer = makeBuffer(path, chosen, firstError);
    if (!buffer) return false;
    slotmode_[at(slot)] = chosen;
    loadpath = path;
    installBuffer(slot, std::move(buffer));
    setCaption(slot, slotCaption(slot, path));
    return true;
}

void SampleSlots::installBuffer(int slot, std::unique_ptr<SoundBuffer> buffer) {
    if (!valid(slot)) return;
    if (slotbuffer_[at(slot)] && windows.releasingBuffer) windows.releasingBuffer(slotbuffer_[at(slot)].get());
    slotbuffer_[at(slot)] = std::move(buffer);
    if (slotbuffer_[at(slot)] && slotprelisten_[at(slot)]) slotbuffer_[at(slot)]->setPrelisten(true);
    slot3dbuffer_[at(slot)] = nullptr;
    // A new buffer does not run yet, so the next press starts it even where the old one was looping.
    slotlooping_[at(slot)] = 0;
    effects_.fxsignature = 0;
    touch();
}

QString SampleSlots::cannotLoadText(const QString& path) {
    return withFile(QStringLiteral("ファイルを読み込めません。"), path);
}

void SampleSlots::cannotLoad(const QString& text) {
    messages_.inform(text, cannotLoadTitle(), MessageIcon::Critical);
}

// --- playing ----------------------------------------------------------------------------------------------

void SampleSlots::muteDecks(bool mute) {
    for (DeckPlayer* deck : decks_) {
        if (deck != nullptr) deck->setMute(mute);
    }
}

void SampleSlots::cmdPlay_Click(int slot) {
    if (!valid(slot)) return;
    SoundBuffer* buffer = slotbuffer_[at(slot)].get();
    if (buffer == nullptr) return;
    const std::size_t s = at(slot);
    if (slotsilencer_[s] == 1) muteDecks(true);
    if (slotlooping_[s] != -1 || slotloop_[s] != 1) {
        buffer->setCurrentPosition(0);
        buffer->play(slotloop_[s] == 1 ? SoundBuffer::kPlayLooping : SoundBuffer::kPlayOnce);
        if (slotloop_[s] == 1) slotlooping_[s] = -1;
    } else {
        cmdStop_Click(slot);
        slotlooping_[s] = 0;
    }
}

void SampleSlots::cmdStop_Click(int slot) {
    SoundBuffer* buffer = slotbuffer(slot);
    if (buffer == nullptr) return;
    buffer->stop();
    buffer->setCurrentPosition(0);
}

void SampleSlots::clssamp() {
    for (int slot = 0; slot < kSamplerSlots; ++slot) {
        captions_[at(slot)] = emptyCaption(slot);
        slotpath_[at(slot)].clear();
    }
    touch();
}

void SampleSlots::releasesound() {
    for (auto& buffer : slotbuffer_) {
        if (!buffer) continue;
        if (buffer->status() == 1) buffer->stop();
        if (windows.releasingBuffer) windows.releasingBuffer(buffer.get());
        buffer.reset();
    }
    slot3dbuffer_ = {};
    slotlooping_ = {};
    device_.reset();
    touch();
}

}  // namespace korvex::sampler
