// The library window in the running player: L opens it, typing filters, Enter sends a song to the deck
// that has the keyboard (which then plays it), the right-click menu and a drag send it to either deck.

#include <QHeaderView>
#include <QInputMethodEvent>
#include <QMenu>

#include "library/ui/library_window.h"
#include "ui_helpers.h"

namespace korvex::test {
namespace {

class LibraryWindow : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        music_ = dir_.path() + QStringLiteral("/music");
        ASSERT_TRUE(QDir().mkpath(music_ + QStringLiteral("/deep")));
        alpha_ = toneFile(music_, QStringLiteral("alpha dawn.wav"));
        beta_ = toneFile(music_ + QStringLiteral("/deep"), QStringLiteral("beta night.wav"), 660.0);
        tokyo_ = toneFile(music_, QStringLiteral("夜の東京.wav"), 550.0);
        // A library of this test's own (the tests of one process share the data folder).
        library::Library& library = app_->library();
        ASSERT_TRUE(library.open(dir_.path() + QStringLiteral("/library.db")));
        ASSERT_TRUE(library.addFolder(music_));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !library.scanning(); }, 20000));
    }
    library::LibraryWindow* openWithKey() {
        window().activateWindow();
        QTest::keyClick(&window(), Qt::Key_L);
        return app_->libraryWindow();
    }
    QString music_, alpha_, beta_, tokyo_;
};

TEST_F(LibraryWindow, TypingFiltersAndEnterSendsTheSongToTheKeyboardDeckWhichPlaysIt) {
    QTest::keyClick(&window(), Qt::Key_Right);  // the keyboard goes to deck B
    library::LibraryWindow* library = openWithKey();
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(library->isVisible());
    EXPECT_EQ(library->model()->rowCount(), 3);
    EXPECT_TRUE(library->statusLabel()->text().contains(QStringLiteral("追加 3")));

    QTest::keyClicks(library->searchBox(), QStringLiteral("bet"));
    ASSERT_EQ(library->model()->rowCount(), 1);
    EXPECT_EQ(library->model()->index(0, 0).data().toString(), QStringLiteral("beta night"));
    QTest::keyClick(library->searchBox(), Qt::Key_Return);
    ASSERT_EQ(player().list(1).count(), 1);
    EXPECT_EQ(player().player(1).fileName(), beta_.toStdString());
    EXPECT_EQ(player().list(0).count(), 0);
    pressPlay(window(), 1);
    EXPECT_EQ(player().player(1).playState(), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return player().player(1).currentPosition() > 0.2; }, 5000));
    // Once the deck's song is analysed, its loudness is in the library too (a tone has no tempo).
    const std::vector<std::int64_t> ids =
        app_->library().database().search(QStringLiteral("beta"), library::SortColumn::kTitle, false);
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const auto row = app_->library().database().row(ids[0]);
        return row && row->loudness && *row->loudness < -3.0 && *row->loudness > -20.0;
    }, 15000));

    // Japanese comes from an input method as whole words.
    library->searchBox()->clear();
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("東京"));
    QCoreApplication::sendEvent(library->searchBox(), &commit);
    ASSERT_EQ(library->model()->rowCount(), 1);
    EXPECT_EQ(library->model()->index(0, 0).data().toString(), QStringLiteral("夜の東京"));
    QTest::keyClicks(library->searchBox(), QStringLiteral(" zzz"));
    EXPECT_EQ(library->model()->rowCount(), 0) << "every word must match";

    if (const QByteArray shots = qgetenv("KORVEX_SCREENSHOT_DIR"); !shots.isEmpty()) {
        library->searchBox()->clear();
        library->grab().save(QString::fromUtf8(shots) + QStringLiteral("/library-window.png"));
        click(window().picture("Imgmenu"));
        window().grab().save(QString::fromUtf8(shots) + QStringLiteral("/library-menu.png"));
    }
}

TEST_F(LibraryWindow, TitleBarKeyOpensTheWindowAndStaysLitWhileItIsOpen) {
    appearance::PictureWidget* key = window().picture("Imglib");
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->picturePath().endsWith(QStringLiteral("/library1.bmp")));
    click(key);
    library::LibraryWindow* library = app_->libraryWindow();
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(library->isVisible());
    EXPECT_TRUE(key->picturePath().endsWith(QStringLiteral("/library2.bmp")));
    library->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return app_->libraryWindow() == nullptr; }, 2000));
    EXPECT_TRUE(key->picturePath().endsWith(QStringLiteral("/library1.bmp")));
}

TEST_F(LibraryWindow, RightClickMenuAndDragSendToEitherDeck) {
    // The menu bar's item opens it too.
    QAction* item = nullptr;
    for (QAction* action : window().menuBar()->actions())
        if (action->text() == QStringLiteral("ﾗｲﾌﾞﾗﾘ")) item = action;
    ASSERT_NE(item, nullptr);
    item->trigger();
    library::LibraryWindow* library = app_->libraryWindow();
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(library->isVisible());
    // The table sorts by its header: title, descending.
    library->table()->sortByColumn(library::LibraryTableModel::kTitle, Qt::DescendingOrder);
    ASSERT_EQ(library->model()->fileNameAt(0), tokyo_);

    // Right-click the second row, choose "デッキ B".
    QTimer::singleShot(50, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 2);
        EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("デッキ A"));
        menu->actions().at(1)->trigger();
        menu->close();
    });
    const QRect second = library->table()->visualRect(library->model()->index(1, 0));
    Q_EMIT library->table()->customContextMenuRequested(second.center());
    ASSERT_EQ(player().list(1).count(), 1);
    EXPECT_EQ(player().player(1).fileName(), beta_.toStdString());

    // A drag of the first row onto deck A's title list.
    std::unique_ptr<QMimeData> data(library->model()->mimeData({library->model()->index(0, 0)}));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window().titleList(0)->viewport(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window().titleList(0)->viewport(), &drop);
    ASSERT_EQ(player().list(0).count(), 1);
    EXPECT_EQ(player().player(0).fileName(), tokyo_.toStdString());
}

}  // namespace
}  // namespace korvex::test
