#include "app/startup.h"

#include <QLockFile>
#include <QStandardPaths>
#include <utility>

#include "base/file_names.h"

namespace korvex::app {
namespace {

constexpr const char* kLockFileName = "/korvex.lock";

QString defaultSkin() {
    return QString::fromUtf8(appearance::kDefaultSkin.data(),
                             static_cast<qsizetype>(appearance::kDefaultSkin.size()));
}

}  // namespace

QString versionNumber(QStringView version) {
    const QList<QStringView> parts = version.split(QLatin1Char('.'));
    auto part = [&parts](qsizetype i) { return i < parts.size() ? parts[i].trimmed().toInt() : 0; };
    return QStringLiteral("%1.%2.%3").arg(part(0)).arg(part(1)).arg(part(2));
}

QString versionNumber() {
    return versionNumber(QStringLiteral(KORVEX_VERSION));
}

QString versionText() {
    return QStringLiteral("Version ") + versionNumber();
}

MessageText alreadyOpenMessage() {
    return {QStringLiteral("このアプリケーションはすでに開かれています。"), QStringLiteral("APP Load Error")};
}

MessageText cannotHandOverMessage(const QStringList& files) {
    // A long list is cut: the box has to fit the screen.
    constexpr qsizetype kShown = 10;
    QString text = QStringLiteral("起動中の Korvex に次のファイルを渡せませんでした。\n");
    for (qsizetype i = 0; i < files.size() && i < kShown; ++i) text += u'\n' + base::readableFileName(files[i]);
    if (files.size() > kShown) text += QStringLiteral("\n…ほか %1 ファイル").arg(files.size() - kShown);
    text += QStringLiteral(
        "\n\n起動中の Korvex が応答していません。Korvex の「曲ﾌｧｲﾙを開く」から開くか、"
        "Korvex を終了してからもう一度開いてください。");
    return {text, QStringLiteral("APP Load Error")};
}

// --- SingleInstance -------------------------------------------------------------------------------------

SingleInstance::SingleInstance(QString folder) {
    if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!folder.isEmpty()) path_ = folder + QLatin1String(kLockFileName);
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::claim() {
    if (claimed_) return result_;
    claimed_ = true;
    if (path_.isEmpty()) return result_ = Claim::kUnguarded;
    lock_ = std::make_unique<QLockFile>(path_);
    // A running copy keeps its lock for as long as it runs; only a lock whose process is gone is stale.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) return result_ = Claim::kFirst;
    const QLockFile::LockError error = lock_->error();
    lock_.reset();
    // Only a lock held by another copy refuses the start; a folder that cannot take the lock file must not
    // keep the program from running.
    result_ = error == QLockFile::LockFailedError ? Claim::kAlreadyRunning : Claim::kUnguarded;
    return result_;
}

// --- Startup --------------------------------------------------------------------------------------------

Startup::Startup(SingleInstance& instance, appearance::SkinPictures& pictures,
                 appearance::PanelLayout& layout, appearance::PictureCheck& check, StartupHooks hooks)
    : instance_(instance), pictures_(pictures), layout_(layout), check_(check), hooks_(std::move(hooks)) {}

bool Startup::claimInstance() {
    claimed_ = instance_.claim() != SingleInstance::Claim::kAlreadyRunning;
    return claimed_;
}

bool Startup::load() {
    if (!claimed_ || loaded_) return false;
    loaded_ = true;

    versionLabel_ = versionText();
    if (hooks_.showVersion) hooks_.showVersion(versionLabel_);
    if (hooks_.loadsettings) hooks_.loadsettings();

    QString skin = hooks_.skinname ? hooks_.skinname() : QString();
    if (skin.isEmpty()) skin = defaultSkin();
    // The pattern buttons start with pattern A selected. The default skin's pictures are the window's own:
    // a skin that cannot be loaded in full leaves them on the images it did not reach.
    if (!pictures_.loadskin(skin, 0, check_) && skin != defaultSkin()) {
        pictures_.loadskin(defaultSkin(), 0, check_);
        pictures_.loadskin(skin, 0, check_);
    }
    if (hooks_.skinLoaded) hooks_.skinLoaded();

    if (hooks_.loadfonts) hooks_.loadfonts();

    layout_.layoutpanels();
    if (hooks_.parkMiniButtons) hooks_.parkMiniButtons();
    if (hooks_.startupChecked && hooks_.startupChecked()) startplay_ = true;
    if (hooks_.resetHeadplay) hooks_.resetHeadplay();

    loadcomplete_ = true;
    return true;
}

bool Startup::takeStartplay() {
    return std::exchange(startplay_, false);
}

bool Startup::timerTick() {
    return handOver();
}

bool Startup::click() {
    return handOver();
}

bool Startup::keyPress() {
    return handOver();
}

bool Startup::handOver() {
    if (handedOver_ || !loadcomplete_) return false;
    handedOver_ = true;
    return true;
}

}  // namespace korvex::app
