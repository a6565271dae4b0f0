// The movie hook with real Qt events on real widgets.
#include "facewindow.h"
#include "hookr.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace velune {

// Stands in for a face view: records what reaches it.
class MyFlashProbe : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    QStringList seen;

protected:
    void mousePressEvent(QMouseEvent* e) override { Record(QStringLiteral("press"), e->button()); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        Record(QStringLiteral("release"), e->button());
    }
    void keyPressEvent(QKeyEvent* e) override { seen << QStringLiteral("key %1").arg(e->key()); }
    void keyReleaseEvent(QKeyEvent* e) override {
        seen << QStringLiteral("keyup %1").arg(e->key());
    }

private:
    void Record(const QString& what, Qt::MouseButton button) {
        seen << what + (button == Qt::RightButton ? QStringLiteral(" right")
                                                  : QStringLiteral(" left"));
    }
};

namespace {

void Mouse(QWidget& w, QEvent::Type type, Qt::MouseButton button) {
    const QPointF at(5, 5);
    QMouseEvent event(type, at, w.mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
}

void Key(QWidget& w, QEvent::Type type, int key) {
    QKeyEvent event(type, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
}

void Everything(QWidget& w) {
    Mouse(w, QEvent::MouseButtonPress, Qt::RightButton);
    Mouse(w, QEvent::MouseButtonRelease, Qt::RightButton);
    Mouse(w, QEvent::MouseButtonPress, Qt::LeftButton);
    Key(w, QEvent::KeyPress, Qt::Key_Menu);
    Key(w, QEvent::KeyRelease, Qt::Key_Menu);
    Key(w, QEvent::KeyPress, Qt::Key_A);
}

TEST(Hook, SwallowsRightPressesAndTheMenuKeyOnlyUntilUnhooked) {
    QWidget form;
    auto* other = new QWidget(&form);
    auto* probe = new MyFlashProbe(&form);
    ASSERT_EQ(Hookr::FindMovieWindow(&form), probe);
    (void)other;

    Hookr::HookFlash(&form);
    EXPECT_TRUE(Hookr::IsHooked(probe));
    Everything(*probe);
    EXPECT_EQ(probe->seen,
              (QStringList{QStringLiteral("release right"), QStringLiteral("press left"),
                           QStringLiteral("keyup %1").arg(Qt::Key_Menu),
                           QStringLiteral("key %1").arg(Qt::Key_A)}));

    probe->seen.clear();
    Hookr::UnhookFlash(&form);
    EXPECT_FALSE(Hookr::IsHooked(probe));
    Everything(*probe);
    EXPECT_EQ(probe->seen.size(), 6);
    EXPECT_EQ(probe->seen.front(), QStringLiteral("press right"));
}

TEST(Hook, OnlyDirectChildrenAreSearchedAndAFormWithoutOneIsLeftAlone) {
    QWidget form;
    auto* box = new QWidget(&form);
    auto* nested = new MyFlashProbe(box);
    EXPECT_EQ(Hookr::FindMovieWindow(&form), nullptr);
    Hookr::UnhookFlash(&form); // nothing was hooked: no effect, no crash
    Hookr::HookFlash(&form);
    EXPECT_FALSE(Hookr::IsHooked(nested));
}

TEST(Hook, TheConverterWindowsHookTheirFaceViewInTurn) {
    FaceWindow main(QStringLiteral("main"));
    FaceWindow conversion(QStringLiteral("conversion"), &main);
    main.HookFlash();
    EXPECT_TRUE(Hookr::IsHooked(&main.flash()));
    main.UnhookFlash();
    conversion.HookFlash();
    EXPECT_TRUE(Hookr::IsHooked(&conversion.flash()));
    EXPECT_FALSE(Hookr::IsHooked(&main.flash()));
    conversion.UnhookFlash();
    main.HookFlash();
    EXPECT_TRUE(Hookr::IsHooked(&main.flash()));
    Mouse(main.flash(), QEvent::MouseButtonPress, Qt::RightButton); // swallowed, no crash
}

} // namespace
} // namespace velune

#include "hook_test.moc"
