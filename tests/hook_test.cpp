// The movie hook with real Qt events on real widgets: the face's own context menu
// let through, other input swallowed, a hook left on after unhooking, the wrong view.
#include "facewindow.h"
#include "hookr.h"
#include "qt_print.h"

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
    bool event(QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease)
            seen << u"%1 %2"_s.arg(e->type()).arg(static_cast<QMouseEvent*>(e)->button());
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)
            seen << u"%1 %2"_s.arg(e->type()).arg(static_cast<QKeyEvent*>(e)->key());
        return QWidget::event(e);
    }
};

namespace {

// Right press and release, left press, menu key down and up, "A" down; what passes.
QStringList Everything(QWidget& w) {
    const auto mouse = [&](QEvent::Type type, Qt::MouseButton button) {
        QMouseEvent event(type, QPointF(5, 5), w.mapToGlobal(QPointF(5, 5)), button, button,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &event);
    };
    const auto key = [&](QEvent::Type type, int code) {
        QKeyEvent event(type, code, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &event);
    };
    auto& seen = static_cast<MyFlashProbe&>(w).seen;
    seen.clear();
    mouse(QEvent::MouseButtonPress, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, Qt::RightButton);
    mouse(QEvent::MouseButtonPress, Qt::LeftButton);
    key(QEvent::KeyPress, Qt::Key_Menu);
    key(QEvent::KeyRelease, Qt::Key_Menu);
    key(QEvent::KeyPress, Qt::Key_A);
    return seen;
}

TEST(Hook, SwallowsRightPressesAndTheMenuKeyOnlyUntilUnhooked) {
    QWidget form;
    new QWidget(&form);
    auto* probe = new MyFlashProbe(&form);
    ASSERT_EQ(Hookr::FindMovieWindow(&form), probe);
    const QStringList all = Everything(*probe);
    ASSERT_EQ(all.size(), 6);

    Hookr::HookFlash(&form);
    EXPECT_EQ(Everything(*probe), (QStringList{all[1], all[2], all[4], all[5]}));
    Hookr::UnhookFlash(&form);
    EXPECT_EQ(Everything(*probe), all);

    // Only direct children are searched; a form without a face view is left alone.
    QWidget other;
    auto* nested = new MyFlashProbe(new QWidget(&other));
    EXPECT_EQ(Hookr::FindMovieWindow(&other), nullptr);
    Hookr::HookFlash(&other);
    EXPECT_EQ(Everything(*nested), all);
}

TEST(Hook, TheConverterWindowsHookTheirFaceViewInTurn) {
    FaceWindow main(u"main"_s);
    FaceWindow conversion(u"conversion"_s, &main);
    main.HookFlash();
    main.UnhookFlash();
    conversion.HookFlash();
    EXPECT_TRUE(Hookr::IsHooked(&conversion.flash()));
    EXPECT_FALSE(Hookr::IsHooked(&main.flash()));
    conversion.UnhookFlash();
    main.HookFlash();
    EXPECT_TRUE(Hookr::IsHooked(&main.flash()));
    EXPECT_FALSE(Hookr::IsHooked(&conversion.flash()));
}

} // namespace
} // namespace velune

#include "hook_test.moc"
