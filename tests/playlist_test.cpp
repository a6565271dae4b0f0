// The player's list on its own: a current or chosen row left on the wrong file
// after an edit, a successor off the end of the list.
#include "playlist.h"
#include "qt_print.h"

#include <gtest/gtest.h>

using velune::Playlist;

namespace {

QStringList Rows(int count) {
    QStringList rows;
    for (int i = 0; i < count; ++i)
        rows << QStringLiteral("/m/%1.wav").arg(QChar(u'a' + i));
    return rows;
}

// Every case starts from rows a..e with c (2) current and d (3) chosen.
struct Edit {
    const char* what;
    std::function<void(Playlist&)> edit;
    QString current;   // "" = none
    QString successor; // "" = none
    QString chosen;    // "" = none
};

TEST(Playlist, EditsKeepTheCurrentAndChosenRowsOnTheirFiles) {
    const std::vector<Edit> edits{
        {"remove before", [](Playlist& l) { l.remove(0); }, "/m/c.wav", "", "/m/d.wav"},
        {"remove after", [](Playlist& l) { l.remove(4); }, "/m/c.wav", "", "/m/d.wav"},
        {"remove the current", [](Playlist& l) { l.remove(2); }, "", "/m/d.wav", "/m/d.wav"},
        {"remove the chosen", [](Playlist& l) { l.remove(3); }, "/m/c.wav", "", ""},
        {"remove the current, then the row before",
         [](Playlist& l) {
             l.remove(2);
             l.remove(0);
         },
         "", "/m/d.wav", "/m/d.wav"},
        {"remove the current, then its successor",
         [](Playlist& l) {
             l.remove(2);
             l.remove(2);
         },
         "", "/m/e.wav", ""},
        {"remove the current and every row after it",
         [](Playlist& l) {
             l.remove(4);
             l.remove(3);
             l.remove(2);
         },
         "", "/m/b.wav", ""},
        {"remove a row that is not there", [](Playlist& l) { EXPECT_FALSE(l.remove(5)); },
         "/m/c.wav", "", "/m/d.wav"},
        {"insert before",
         [](Playlist& l) {
             l.insert(0, {"/m/x.wav", "/m/y.wav"});
         },
         "/m/c.wav", "", "/m/d.wav"},
        {"insert after", [](Playlist& l) { l.insert(4, {"/m/x.wav"}); }, "/m/c.wav", "",
         "/m/d.wav"},
        {"append", [](Playlist& l) { l.append({"/m/x.wav"}); }, "/m/c.wav", "", "/m/d.wav"},
        {"clear", [](Playlist& l) { l.clear(); }, "", "", ""},
    };
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.what);
        Playlist list;
        list.append(Rows(5));
        list.setCurrent(2);
        list.choose(3);
        e.edit(list);
        EXPECT_EQ(list.at(list.current()), e.current);
        EXPECT_EQ(list.at(list.successor()), e.successor);
        EXPECT_EQ(list.at(list.chosen()), e.chosen);
        if (!list.isEmpty()) {
            EXPECT_EQ(list.at(list.start()), e.current.isEmpty() ? e.successor : e.current);
        }
    }
}

TEST(Playlist, EmptyAndOneRowListsAndStepping) {
    Playlist list;
    EXPECT_EQ(list.start(), -1);
    EXPECT_EQ(list.after(-1, true), -1);
    EXPECT_TRUE(list.at(0).isEmpty());
    list.append({QStringLiteral("/m/only.wav")});
    EXPECT_EQ(list.start(), 0);
    list.setCurrent(0);
    EXPECT_EQ(list.after(0, false), -1);
    EXPECT_EQ(list.after(0, true), 0);
    list.remove(0);
    EXPECT_EQ(list.current(), -1);
    EXPECT_EQ(list.successor(), -1);
    EXPECT_EQ(list.start(), -1);
    list.setCurrent(3); // no such row
    EXPECT_EQ(list.current(), -1);
}

} // namespace
