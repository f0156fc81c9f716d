#include <QTest>

#include "ui/text_search.h"

using ui::TextMatch;
using Matches = QList<TextMatch>;

Q_DECLARE_METATYPE(TextMatch)
Q_DECLARE_METATYPE(Matches)

class TextSearchTest : public QObject {
    Q_OBJECT

  private slots:
    void findsEveryMatchOnce_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<Matches>("expected");
        QTest::newRow("any case") << "Alpha alpha ALPHA"
                                  << "alpha" << false << Matches{{0, 5}, {6, 5}, {12, 5}};
        QTest::newRow("matching case") << "Alpha alpha ALPHA"
                                       << "alpha" << true << Matches{{6, 5}};
        QTest::newRow("no overlaps") << "aaaa"
                                     << "aa" << true << Matches{{0, 2}, {2, 2}};
        QTest::newRow("beyond Latin") << "Zürich ZÜRICH"
                                      << "zürich" << false << Matches{{0, 6}, {7, 6}};
        QTest::newRow("empty needle") << "text"
                                      << "" << false << Matches{};
        QTest::newRow("none") << "text"
                              << "z" << false << Matches{};
    }

    void findsEveryMatchOnce() {
        QFETCH(QString, text);
        QFETCH(QString, needle);
        QFETCH(bool, matchCase);
        QFETCH(Matches, expected);
        QCOMPARE(ui::findAll(text, needle, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive),
                 expected);
    }

    // Three matches at 2, 5 and 9.
    void movesAmongMatchesWrappingAround_data() {
        QTest::addColumn<qsizetype>("from");
        QTest::addColumn<int>("step");
        QTest::addColumn<qsizetype>("expected");
        QTest::newRow("from a match") << qsizetype(5) << 0 << qsizetype(1);
        QTest::newRow("between") << qsizetype(6) << 0 << qsizetype(2);
        QTest::newRow("after the last wraps") << qsizetype(10) << 0 << qsizetype(0);
        QTest::newRow("next after the last") << qsizetype(9) << 1 << qsizetype(0);
        QTest::newRow("previous before the first") << qsizetype(2) << -1 << qsizetype(2);
        QTest::newRow("around twice") << qsizetype(5) << 7 << qsizetype(2);
    }

    void movesAmongMatchesWrappingAround() {
        QFETCH(qsizetype, from);
        QFETCH(int, step);
        QFETCH(qsizetype, expected);
        const Matches matches{{2, 1}, {5, 1}, {9, 1}};
        QCOMPARE(ui::stepMatch(ui::matchFrom(matches, from), matches.size(), step), expected);
    }

    // "ab|cd|ef" with the marks taken out is "abcdef"; the marks stood before 2 and 4.
    void putsTakenOutCharactersBack_data() {
        QTest::addColumn<TextMatch>("shortened");
        QTest::addColumn<TextMatch>("whole");
        QTest::newRow("across one") << TextMatch{1, 2} << TextMatch{1, 3};
        QTest::newRow("across both") << TextMatch{1, 4} << TextMatch{1, 6};
        QTest::newRow("right after one") << TextMatch{2, 1} << TextMatch{3, 1};
        QTest::newRow("after both") << TextMatch{5, 1} << TextMatch{7, 1};
    }

    void putsTakenOutCharactersBack() {
        QFETCH(TextMatch, shortened);
        QFETCH(TextMatch, whole);
        QCOMPARE(ui::withRemovedRestored({shortened}, {2, 4}), Matches{whole});
    }
};

QTEST_APPLESS_MAIN(TextSearchTest)
#include "text_search_test.moc"
