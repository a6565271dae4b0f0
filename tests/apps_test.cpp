// Both programs put together from their real parts start and close again; the
// sanitizer build checks everything the closing touches.
#include "converter_app.h"
#include "player_app.h"
#include "qt_print.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(Apps, BothProgramsStartAndCloseCleanly) {
    {
        velune::ConverterApp converter(QStringLiteral(VELUNE_PROGRAM_DIR));
        ASSERT_TRUE(converter.Start());
        QTest::qWait(50);
    }
    {
        velune::PlayerApp player(QStringLiteral(VELUNE_PROGRAM_DIR));
        ASSERT_EQ(player.Start(), velune::PlayerApp::Started::Running);
        QTest::qWait(300);
    }
}

} // namespace
