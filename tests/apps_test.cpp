// Both programs put together from their real parts start and close again; the
// sanitizer build checks everything the closing touches.
#include "converter_app.h"
#include "media.h"
#include "player_app.h"
#include "qt_print.h"
#include "system_names.h"

#include <QApplication>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// A folder dropped on the converter: its files join the list (a name that is not UTF-8 as its
// bytes), Convert decides the outputs on a worker and converts them, and OK closes it.
TEST(Apps, BothProgramsStartAndCloseCleanly) {
    {
        QTemporaryDir dir;
        const QString album = dir.filePath(u"Album"_s);
        QDir().mkpath(album);
        ASSERT_TRUE(velune::test::MakeTone(album + u"/1.wav"_s, 0.2));
        ASSERT_TRUE(velune::test::MakeTone(album + u"/2.wav"_s, 0.2));
        const QString latin1 = velune::PathFromSystem(velune::SystemName(album) + "/caf\xe9.wav");
        std::filesystem::rename(velune::SystemPath(album + u"/2.wav"_s),
                                velune::SystemPath(latin1));

        velune::ConverterApp converter(QStringLiteral(VELUNE_PROGRAM_DIR));
        ASSERT_TRUE(converter.Start());
        QMimeData data;
        data.setData(u"text/uri-list"_s,
                     "file://" + QUrl::toPercentEncoding(velune::SystemName(album), "/") + "\r\n");
        QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&converter.faceView(), &enter);
        QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&converter.faceView(), &drop);
        EXPECT_TRUE(QTest::qWaitFor([&] { return converter.window().Files().size() == 2; }, 20000));
        EXPECT_EQ(converter.window().Files(), (QStringList{album + u"/1.wav"_s, latin1}));

        const QString outputs[] = {album + u"/1.ogg"_s, latin1.chopped(3) + u"ogg"_s};
        // Closes the progress window once it is done; an unexpected box is noted.
        QStringList told;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                told << box->text();
                box->close();
                return;
            }
            auto* face = qobject_cast<velune::FaceView*>(QGuiApplication::modalWindow());
            if (face && face->GetVariable(u"_root.ShowOkbtn"_s) == u"1"_s) // all done
                emit face->command(u"IDC_FS_OK"_s, u"undefined"_s);
        });
        closer.start(50);
        emit converter.faceView().command(u"IDC_FS_ConvertTo"_s, u"ogg"_s);
        emit converter.faceView().command(u"IDC_FS_Selected"_s, u"undefined"_s); // delete them
        emit converter.faceView().command(u"IDC_FS_Convert"_s, u"undefined"_s);  // until closed
        EXPECT_TRUE(velune::IsFile(outputs[0]) && velune::IsFile(outputs[1]));
        // The sources go once the window has gone, their outputs read back whole.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return !velune::IsFile(album + u"/1.wav"_s) && !velune::IsFile(latin1); },
            20000));
        EXPECT_TRUE(told.isEmpty()) << told.join(u'\n');
        std::filesystem::remove_all(velune::SystemPath(dir.path()));
    }
    {
        velune::PlayerApp player(QStringLiteral(VELUNE_PROGRAM_DIR));
        ASSERT_EQ(player.Start(), velune::PlayerApp::Started::Running);
        QTest::qWait(300);
    }
}

} // namespace
