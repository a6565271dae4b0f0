// Renders a face offscreen with some variables written into it and saves a PNG.
// usage: face_shot FACE.qml OUT.png [name=value ...] [click=objectName ...]
#include "face_view.h"

#include <QApplication>
#include <QImage>
#include <QQuickItem>
#include <QTest>
#include <cstdio>

namespace {
QQuickItem* Find(QQuickItem* item, const QString& name) {
    if (!item || item->objectName() == name)
        return item;
    for (QQuickItem* child : item->childItems())
        if (QQuickItem* found = Find(child, name))
            return found;
    return nullptr;
}
} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("usage: face_shot FACE.qml OUT.png [name=value ...] [click=objectName ...]\n",
                   stderr);
        return 2;
    }
    velune::FaceView view;
    if (!view.LoadFace(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot load %s\n", argv[1]);
        return 1;
    }
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        return 1;
    for (int i = 3; i < argc; ++i) {
        const QString pair = QString::fromLocal8Bit(argv[i]);
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString name = pair.left(eq);
        const QString value = pair.mid(eq + 1);
        if (name == QLatin1String("click")) {
            QQuickItem* item = Find(view.rootObject(), value);
            if (item) {
                const QPoint at =
                    item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
                QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, at);
            }
        } else {
            view.SetVariable(name, value);
        }
        QTest::qWait(20);
    }
    QTest::qWait(300);
    return view.grabWindow().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
