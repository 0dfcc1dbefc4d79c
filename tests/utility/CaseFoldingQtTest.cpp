// The core folds case without Qt, from a table of its own; the window's find used Qt's
// folding before, and must find exactly what it found then.
#include "utility/CaseFolding.h"
#include "utility/TextMatcher.h"

#include <QRandomGenerator>
#include <QString>
#include <QTest>

class CaseFoldingQtTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyCodePointFoldsAsQtFoldsIt()
    {
        int differing = 0;
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) {
                continue;
            }
            if (zlv::FoldCase(c) != QChar::toCaseFolded(c) && differing++ < 10) {
                qWarning("U+%04X folds to U+%04X, Qt says U+%04X", unsigned(c),
                         unsigned(zlv::FoldCase(c)), unsigned(QChar::toCaseFolded(c)));
            }
        }
        QCOMPARE(differing, 0);
    }

    void findingAgreesWithQStringContains()
    {
        // Texts and needles drawn from letters that fold in every way there is: ASCII, Latin-1,
        // Greek sigmas, the letters that fold into ASCII, dotted and dotless i, sharp s and a
        // letter outside the Basic Multilingual Plane.
        const QString letters = QStringLiteral("aAkKsSiI\u00E9\u00C9\u00DF\u1E9E\u03A3\u03C3\u03C2"
                                               "\u212A\u017F\u0130\u0131 /.") +
                                QString::fromUcs4(U"\U00010400\U00010428", 2);
        QRandomGenerator random(20261207);
        const auto draw = [&](int length) {
            QString text;
            for (int i = 0; i < length; ++i) {
                const int at = random.bounded(int(letters.size()));
                text += letters.at(at);
                if (letters.at(at).isHighSurrogate()) {
                    text += letters.at(at + 1);
                } else if (letters.at(at).isLowSurrogate()) {
                    text.chop(1);
                    text += letters.at(at - 1);
                    text += letters.at(at);
                }
            }
            return text;
        };
        for (int i = 0; i < 20000; ++i) {
            const QString haystack = draw(random.bounded(1, 12));
            const QString needle = draw(random.bounded(1, 4));
            const bool qt = haystack.contains(needle, Qt::CaseInsensitive);
            const bool ours =
                zlv::TextMatcher(needle.toStdString()).foundIn(haystack.toStdString());
            QVERIFY2(qt == ours, qPrintable(needle + QStringLiteral(" in ") + haystack));
        }
    }
};

QTEST_MAIN(CaseFoldingQtTest)
#include "CaseFoldingQtTest.moc"
