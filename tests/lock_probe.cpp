// Test helper: takes a program's single-instance lock, says whether it got it,
// and holds it until its standard input closes.
#include "instance_lock.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    velune::UserInstanceLock lock(argc > 1 ? QString::fromLocal8Bit(argv[1])
                                           : QStringLiteral("probe"));
    const bool mine = lock.TryLock();
    std::puts(mine ? "locked" : "busy");
    std::fflush(stdout);
    if (mine)
        while (std::getchar() != EOF) {
        }
    return 0;
}
