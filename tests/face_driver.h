#pragma once

// Loads a real face into a real face view (offscreen), presses its controls and
// records the commands it sends.

#include "flash.h"
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
        QObject::connect(&flash, &Flash::FSCommand, [this](const QString& c, const QString& a) {
            commands << c + QLatin1Char(' ') + a;
        });
        loaded = flash.LoadMovie(0, QStringLiteral(VELUNE_PROGRAM_DIR "/") + faceFile);
        flash.show();
        exposed = QTest::qWaitForWindowExposed(&flash);
    }

    // Walks the visual tree: delegates of lists and repeaters have no QObject parent.
    QQuickItem* Item(const QString& name) {
        // Lay out what the last writes changed, as the next frame would.
        Polish(flash.rootObject());
        return Find(flash.rootObject(), name);
    }

    QPoint Centre(const QString& name) {
        QQuickItem* item = Item(name);
        EXPECT_NE(item, nullptr) << name.toStdString();
        if (!item)
            return {};
        return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    }

    // Clicks the control and returns the commands that it sent.
    QStringList Click(const QString& name) {
        commands.clear();
        QTest::mouseClick(&flash, Qt::LeftButton, Qt::NoModifier, Centre(name));
        return commands;
    }

    QStringList Press(const QString& name) {
        commands.clear();
        const QPoint at = Centre(name);
        QTest::mousePress(&flash, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(&flash, Qt::LeftButton, Qt::NoModifier, at);
        return commands;
    }

    template <typename Predicate> bool Wait(Predicate predicate) {
        return QTest::qWaitFor(predicate, 5000);
    }

    QVariant Property(const QString& name, const char* property) {
        QQuickItem* item = Item(name);
        return item ? item->property(property) : QVariant();
    }

    // The Accessible.name that screen readers and tests find a control by.
    QString AccessibleName(const QString& name) {
        QQuickItem* item = Item(name);
        if (!item)
            return {};
        return QQmlProperty(item, QStringLiteral("Accessible.name"), qmlContext(item))
            .read()
            .toString();
    }

    static void Polish(QQuickItem* item) {
        if (!item)
            return;
        item->ensurePolished();
        for (QQuickItem* child : item->childItems())
            Polish(child);
    }

    static QQuickItem* Find(QQuickItem* item, const QString& name) {
        if (!item || item->objectName() == name)
            return item;
        for (QQuickItem* child : item->childItems())
            if (QQuickItem* found = Find(child, name))
                return found;
        return nullptr;
    }

    Flash flash;
    bool loaded = false;
    bool exposed = false;
    QStringList commands;
};

} // namespace velune::test
