#pragma once

// Loads a real face into a real face view (offscreen), writes its variables as the
// host does, presses its controls and records the commands it sends.

#include "face_view.h"
#include "qt_print.h"

#include <QQmlContext>
#include <QQmlProperty>
#include <QQuickItem>
#include <QTest>
#include <gtest/gtest.h>

namespace velune::test {

class FaceDriver {
public:
    explicit FaceDriver(const QString& faceFile) {
        QObject::connect(&view, &FaceView::command,
                         [this](const QString& c, const QString& a) { commands << c + u' ' + a; });
        loaded = view.LoadFace(QStringLiteral(VELUNE_PROGRAM_DIR "/") + faceFile);
        view.show();
        exposed = QTest::qWaitForWindowExposed(&view);
    }

    void Write(const QString& name, const QString& value) { view.SetVariable(name, value); }

    QQuickItem* Item(const QString& name) { return Find(view.rootObject(), name); }

    // A point in the control, `fraction` of its width from its left edge.
    QPoint At(const QString& name, double fraction = 0.5) {
        QQuickItem* item = Item(name);
        EXPECT_NE(item, nullptr) << name;
        return item ? item->mapToScene({item->width() * fraction, item->height() / 2}).toPoint()
                    : QPoint();
    }

    // Clicks the control and returns the commands that it sent.
    QStringList Click(const QString& name, double fraction = 0.5) {
        commands.clear();
        QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, At(name, fraction));
        return commands;
    }
    // Types the text, a key for each character.
    void Type(const QString& text) {
        for (const QChar c : text)
            QTest::keyClick(&view, c.toLatin1());
    }
    // Presses the key and returns the commands that it sent.
    QStringList Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        commands.clear();
        QTest::keyClick(&view, key, modifiers);
        return commands;
    }

    QVariant Property(const QString& name, const char* property) {
        QQuickItem* item = Item(name);
        return item ? item->property(property) : QVariant();
    }

    // The Accessible.name that screen readers and tests find a control by.
    QString AccessibleName(const QString& name) {
        QQuickItem* item = Item(name);
        return item ? QQmlProperty(item, u"Accessible.name"_s, qmlContext(item)).read().toString()
                    : QString();
    }

    // Walks the visual tree (delegates have no QObject parent), each item laid out as
    // the next frame would after the last writes.
    static QQuickItem* Find(QQuickItem* item, const QString& name) {
        item->ensurePolished();
        if (item->objectName() == name)
            return item;
        for (QQuickItem* child : item->childItems())
            if (QQuickItem* found = Find(child, name))
                return found;
        return nullptr;
    }

    FaceView view;
    bool loaded = false;
    bool exposed = false;
    QStringList commands;
};

} // namespace velune::test
