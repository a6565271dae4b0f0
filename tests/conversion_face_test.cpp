// The conversion window's real face, loaded offscreen.
#include "face_driver.h"

#include <gtest/gtest.h>

using velune::test::FaceDriver;

namespace {

class ConversionFace : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(face.loaded);
        ASSERT_TRUE(face.exposed);
    }
    void Write(const char* name, const QString& value) {
        face.flash.SetVariable(QString::fromLatin1(name), value);
    }
    FaceDriver face{QStringLiteral("VeluneC1.qml")};
};

TEST_F(ConversionFace, ShowsTheFileItsProgressAndTheRunningAnimation) {
    EXPECT_EQ(face.flash.rootObject()->width(), 338);
    EXPECT_EQ(face.flash.rootObject()->height(), 187);
    const QString path =
        QStringLiteral("/home/me/Bob's Été/a very long folder name/Rock 'n' Roll.mp3");
    Write("_root.FileTxt", path);
    EXPECT_NE(face.Property(QStringLiteral("fileText"), "text").toString(), path);
    Write("_root.SetFileTxt", QStringLiteral("1"));
    EXPECT_EQ(face.Property(QStringLiteral("fileText"), "text").toString(), path);

    Write("_root.ProgressValue", QStringLiteral("42"));
    Write("_root.SetProgress", QStringLiteral("1"));
    EXPECT_EQ(face.Property(QStringLiteral("progressBar"), "value").toInt(), 42);
    EXPECT_EQ(face.Property(QStringLiteral("progressText"), "text").toString(),
              QStringLiteral("42%"));

    Write("_root.ArrowPlay", QStringLiteral("1"));
    EXPECT_TRUE(face.Wait([&] {
        return face.Property(QStringLiteral("runningAnimation"), "rotation").toDouble() > 0;
    }));
    Write("_root.ArrowPlay", QStringLiteral("0"));
    const double stopped = face.Property(QStringLiteral("runningAnimation"), "rotation").toDouble();
    QTest::qWait(100);
    EXPECT_EQ(face.Property(QStringLiteral("runningAnimation"), "rotation").toDouble(), stopped);
}

TEST_F(ConversionFace, CancelWhileRunningOkAtTheEndCloseAndDrag) {
    EXPECT_FALSE(face.Property(QStringLiteral("okButton"), "visible").toBool());
    EXPECT_EQ(face.Click(QStringLiteral("cancelButton")),
              QStringList{QStringLiteral("IDC_FS_Cancel undefined")});
    EXPECT_EQ(face.Click(QStringLiteral("closeButton")),
              QStringList{QStringLiteral("IDC_FS_Close undefined")});
    EXPECT_EQ(face.Press(QStringLiteral("dragArea")),
              QStringList{QStringLiteral("IDC_FS_Drag undefined")});

    Write("_root.ShowOkbtn", QStringLiteral("1"));
    EXPECT_TRUE(face.Property(QStringLiteral("okButton"), "visible").toBool());
    EXPECT_FALSE(face.Property(QStringLiteral("cancelButton"), "visible").toBool());
    EXPECT_EQ(face.Click(QStringLiteral("okButton")),
              QStringList{QStringLiteral("IDC_FS_OK undefined")});
    for (const char* name : {"okButton", "cancelButton", "closeButton", "dragArea"})
        EXPECT_FALSE(face.AccessibleName(QString::fromLatin1(name)).isEmpty()) << name;
}

} // namespace
